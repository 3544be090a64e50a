#include "app/Startup.h"

int main(int argc, char** argv)
{
    return pathlark::runMain(argc, argv);
}
