#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    // Headless everywhere: no display, no GPU, no sound card.
    setenv("SDL_VIDEODRIVER", "dummy", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("SDL_RENDER_DRIVER", "software", 0);
    // English everywhere, whatever the developer's language: the expectations are.
    setenv("LC_ALL", "C.UTF-8", 1);
    unsetenv("LANGUAGE");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
