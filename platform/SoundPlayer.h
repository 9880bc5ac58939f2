#pragma once

#include <QString>

struct ca_context;

// Event sounds, played in the background through the desktop's sound service
// (PulseAudio, PipeWire or ALSA underneath). A missing file, a file that is
// no sound, or no sound device: silence, and no message.
class SoundPlayer
{
public:
    SoundPlayer() = default;
    ~SoundPlayer();
    SoundPlayer(const SoundPlayer&) = delete;
    SoundPlayer& operator=(const SoundPlayer&) = delete;

    // Returns at once; the sound plays on.
    void Play(const QString& file);

private:
    // Made at the first sound; destroying it would cut the sound off.
    ca_context* context = nullptr;
};
