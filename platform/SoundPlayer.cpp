#include "platform/SoundPlayer.h"

#include <canberra.h>

SoundPlayer::~SoundPlayer()
{
    if (context)
        ca_context_destroy(static_cast<ca_context*>(context));
}

void SoundPlayer::Play(const QString& file)
{
    ca_context* canberra = static_cast<ca_context*>(context);
    if (!canberra && ca_context_create(&canberra) != CA_SUCCESS)
        return;
    context = canberra;
    ca_context_play(canberra, 0, CA_PROP_APPLICATION_NAME, "Postwatch", CA_PROP_EVENT_DESCRIPTION, "New mail",
                    CA_PROP_MEDIA_FILENAME, file.toLocal8Bit().constData(), nullptr);
}
