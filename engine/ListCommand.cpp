#include "engine/ListCommand.h"

#include "engine/Listing.h"
#include "platform/InstanceChannel.h"
#include "platform/Profile.h"

#include <QCoreApplication>
#include <QTextStream>

int RunListCommand(int argc, char** argv, bool json)
{
    QCoreApplication app(argc, argv);
    const std::optional<QByteArray> reply = InstanceChannel(Profile::StoreFilePath()).AskListing();
    if (!reply) {
        QTextStream(stderr) << "postwatch: Postwatch is not running, so there is nothing to list." << Qt::endl;
        return 3;
    }
    const TListing listing = TListing::FromJson(*reply);
    QTextStream out(stdout);
    if (json)
        out << listing.PanelJson() << '\n';
    else
        out << listing.Text();
    return 0;
}
