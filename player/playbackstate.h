#pragma once

namespace syj {

// What a player is doing, as its face shows it.
enum class PlaybackState {
    // No file, a file played to its end, or stopped: play starts from the
    // beginning.
    Stopped,
    // Halted where it is: play goes on from there.
    Paused,
    // Playing, or about to once the file has opened or a move has been made.
    Playing,
};

} // namespace syj
