#include "platform/SoundPlayer.h"

#include <canberra.h>

SoundPlayer::~SoundPlayer()
{
    if (context)
        ca_context_destroy(context);
}

void SoundPlayer::Play(const QString& file)
{
    if (!context && ca_context_create(&context) != CA_SUCCESS) {
        context = nullptr;
        return;
    }
    ca_context_play(context, 0, CA_PROP_APPLICATION_NAME, "Postwatch", CA_PROP_EVENT_DESCRIPTION, "New mail",
                    CA_PROP_MEDIA_FILENAME, file.toLocal8Bit().constData(), nullptr);
}
