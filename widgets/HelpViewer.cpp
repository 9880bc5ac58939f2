#include "widgets/HelpViewer.h"

#include <QApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QTextBlock>
#include <QTextBrowser>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWindow>

// Q_INIT_RESOURCE must stand outside any namespace. Calling it pulls the
// help document out of its static library into every program using the viewer.
static void initHelpResource()
{
    Q_INIT_RESOURCE(help);
}

namespace {

const QUrl DocumentUrl(QStringLiteral("qrc:/help/POSTWATCH20.HLP"));
const QString ContentsAnchor = QStringLiteral("contents");
const char* const ContextProperty = "helpContext";
constexpr QSize ViewerSize(560, 480);
constexpr int TextMargin = 10;

THelpViewer* theViewer = nullptr;

// Run while the application still exists: a widget must not outlive it.
void destroyViewer()
{
    delete theViewer;
    theViewer = nullptr;
}

QUrl sectionUrl(const QString& anchor)
{
    QUrl url = DocumentUrl;
    url.setFragment(anchor);
    return url;
}

QSet<int> numberedAnchors(const QTextDocument& document)
{
    QSet<int> numbers;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment)
            for (const QString& name : fragment.fragment().charFormat().anchorNames()) {
                bool isNumber = false;
                const int number = name.toInt(&isNumber);
                if (isNumber)
                    numbers.insert(number);
            }
    return numbers;
}

bool isHelpKey(const QEvent* event)
{
    const auto* key = static_cast<const QKeyEvent*>(event);
    return key->key() == Qt::Key_F1 && key->modifiers() == Qt::NoModifier;
}

class HelpKeyFilter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

bool HelpKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    // A key reaches the window first and the focus widget next: act on the widget.
    if (!watched->isWidgetType())
        return false;
    const auto* widget = static_cast<const QWidget*>(watched);
    switch (event->type()) {
    case QEvent::ShortcutOverride: // F1 is context help before it is any window's shortcut
        if (!isHelpKey(event))
            return false;
        event->accept();
        return true;
    case QEvent::KeyPress:
        if (!isHelpKey(event))
            return false;
        ShowHelpContext(HelpContext(widget));
        return true;
    case QEvent::QueryWhatsThis: // the title-bar help button's pointer offers the widget
    case QEvent::WhatsThis: {
        const int topic = HelpContext(widget);
        if (topic == 0)
            return false;
        if (event->type() == QEvent::WhatsThis)
            ShowHelpContext(topic);
        event->accept();
        return true;
    }
    default:
        return false;
    }
}

}

THelpViewer& THelpViewer::Instance()
{
    if (!theViewer) {
        theViewer = new THelpViewer;
        qAddPostRoutine(destroyViewer);
    }
    return *theViewer;
}

THelpViewer::THelpViewer()
{
    initHelpResource();
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowTitle(QStringLiteral("Postwatch Help"));

    HelpText = new QTextBrowser(this);
    HelpText->setObjectName(QStringLiteral("HelpText"));
    HelpText->setOpenExternalLinks(true);
    HelpText->setSource(sectionUrl(ContentsAnchor), QTextDocument::HtmlResource);
    HelpText->document()->setDocumentMargin(TextMargin);
    Topics = numberedAnchors(*HelpText->document());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(CreateToolBar());
    layout->addWidget(HelpText);

    new QShortcut(QKeySequence::Cancel, this, this, &QWidget::close);

    resize(ViewerSize);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

QToolBar* THelpViewer::CreateToolBar()
{
    auto* tools = new QToolBar(this);
    tools->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QAction* back = tools->addAction(style()->standardIcon(QStyle::SP_ArrowBack), QStringLiteral("Back"), HelpText,
                                     &QTextBrowser::backward);
    QAction* forward = tools->addAction(style()->standardIcon(QStyle::SP_ArrowForward), QStringLiteral("Forward"),
                                        HelpText, &QTextBrowser::forward);
    QAction* contents = tools->addAction(style()->standardIcon(QStyle::SP_FileDialogContentsView),
                                         QStringLiteral("Contents"), this, [this] { Open(ContentsAnchor); });
    back->setObjectName(QStringLiteral("actBack"));
    forward->setObjectName(QStringLiteral("actForward"));
    contents->setObjectName(QStringLiteral("actContents"));
    back->setEnabled(HelpText->isBackwardAvailable());
    forward->setEnabled(HelpText->isForwardAvailable());
    connect(HelpText, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(HelpText, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);
    return tools;
}

void THelpViewer::ShowTopic(int topic)
{
    Open(Topics.contains(topic) ? QString::number(topic) : ContentsAnchor);
    FollowModalDialog();
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

// Help asked for from a modal dialog must be usable while the dialog is open.
// A modal window blocks every window but its own family, so the viewer joins
// the dialog's family, and leaves it when no dialog is open.
void THelpViewer::FollowModalDialog()
{
    const QWidget* modal = QApplication::activeModalWidget();
    winId();
    windowHandle()->setTransientParent(modal ? modal->windowHandle() : nullptr);
}

int THelpViewer::CurrentTopic() const
{
    bool isNumber = false;
    const int topic = HelpText->source().fragment().toInt(&isNumber);
    return isNumber ? topic : HelpContents;
}

void THelpViewer::Open(const QString& anchor)
{
    HelpText->setSource(sectionUrl(anchor), QTextDocument::HtmlResource);
}

void ShowHelpContext(int topic)
{
    THelpViewer::Instance().ShowTopic(topic);
}

void ShowHelpContents()
{
    ShowHelpContext(HelpContents);
}

void SetHelpContext(QWidget* widget, int topic)
{
    widget->setProperty(ContextProperty, topic);
}

int HelpContext(const QWidget* widget)
{
    for (; widget; widget = widget->parentWidget()) {
        const int topic = widget->property(ContextProperty).toInt();
        if (topic > 0)
            return topic;
    }
    return 0;
}

void InstallHelpKey(QApplication& app)
{
    app.installEventFilter(new HelpKeyFilter(&app));
}
