#include "viewer/HtmlText.h"

#include <QTextDocument>

namespace {

// A message's HTML may name anything as an image or style sheet, a device
// file included: the document loads none of it.
class TResourcelessDocument : public QTextDocument
{
protected:
    QVariant loadResource(int, const QUrl&) override { return {}; }
};

}

QString HtmlText(const QString& html)
{
    TResourcelessDocument document;
    document.setHtml(html);
    // A picture leaves only a mark that no one could read.
    QString text = document.toPlainText().remove(QChar::ObjectReplacementCharacter);
    if (!text.isEmpty() && !text.endsWith(u'\n'))
        text += QStringLiteral("\r\n");
    return text;
}
