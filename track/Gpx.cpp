#include "track/Gpx.h"

void Gpx::addTrack(std::unique_ptr<Track> track)
{
    if (track)
        m_tracks.push_back(std::move(track));
}

const Track* Gpx::getTrack(int index) const
{
    // Compared unsigned, so -1 is as out of range as the count itself.
    if (static_cast<std::size_t>(index) >= m_tracks.size())
        return nullptr;
    return m_tracks[static_cast<std::size_t>(index)].get();
}

Track* Gpx::getTrack(int index)
{
    return const_cast<Track*>(std::as_const(*this).getTrack(index));
}

const Track* Gpx::findTrack(std::string_view name) const
{
    for (const auto& track : m_tracks) {
        if (track->getName() == name)
            return track.get();
    }
    return nullptr;
}
