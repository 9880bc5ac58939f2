#pragma once

#include "base/Events.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

class QIODevice;

enum UUMethods { uuMime, uuCode };

// Shows a short note to the user; the window supplies it, so the decoder
// needs no widget.
using TShowMessage = std::function<void(const QString& Text)>;

// Decodes base64 (uuMime) or uuencoded (uuCode) text from InputStream,
// from its current position to its end, into OutputStream. Neither stream
// is owned. Works line by line, so memory stays small whatever the size.
// Uuencoded data without their end line are only noted: the user is told
// once, by TellEndLineMissing, when the whole message is read.
class TUUProcessor : public QObject
{
public:
    explicit TUUProcessor(QObject* parent = nullptr) : QObject(parent) {}

    void Decode();
    // Shows the note through ShowMessage if a decoding since the last call
    // missed its end line.
    void TellEndLineMissing();

    UUMethods Method = uuMime;
    QIODevice* InputStream = nullptr;
    QIODevice* OutputStream = nullptr;
    TNotifyEvent OnBeginDecode;
    TNotifyEvent OnEndDecode;
    TShowMessage ShowMessage;
    bool EndLineMissing = false;

private:
    bool NextLine(QByteArray& line);
    void DecodeMime();
    bool DecodeMimeLine(const QByteArray& line, QByteArray& pending);
    void DecodeUU();
    void DecodeUULine(const QByteArray& line);
    void Emit(const QByteArray& bytes);
};
