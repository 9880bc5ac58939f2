#pragma once

#include <QString>

// Event sounds, played in the background: on Linux through the desktop's
// sound service (PulseAudio, PipeWire or ALSA underneath), on Windows with
// PlaySound, or by the file's own program where it is no .wav. A missing
// file, a file that is no sound, or no sound device: silence, and no message.
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
    // The sound service's context where the platform needs one, made at the
    // first sound; destroying it would cut the sound off.
    void* context = nullptr;
};
