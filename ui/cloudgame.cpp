#include "cloudgame.h"
#include "ui_cloudgame.h"

#include "framelesshelper.h"
#include "imagemanager.h"
#include "language.h"
#include "launchermessages.h"
#include "launchernotice.h"
#include "toast.h"
#include "velpushbutton.h"
#include "vlauncher.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QFileInfo>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>

namespace {

constexpr float windowShare = 0.6225f;
constexpr int smallestWidth = 696;
constexpr int smallestHeight = 446;

} // namespace

CloudGame::CloudGame(const LaunchRequest &request, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::CloudGameClass)
    , m_oem(request.oem)
    , m_packageName(request.packageName)
{
    ui->setupUi(this);
    connect(FileWatcher::instance(), &FileWatcher::fileEvent, this, &CloudGame::onFileEvent);
    // An application window to the desktop (taskbar, Alt+Tab, maximise), not
    // the dialog its class would make it: window managers treat dialogs as
    // transients of some other window.
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint
                   | Qt::WindowCloseButtonHint);
    setFocusPolicy(Qt::StrongFocus);
    setStyleSheet(QStringLiteral("QDialog{background-color: #1B1E2C;}"));
    ui->widget_title->setStyleSheet(QStringLiteral("background-color: transparent;"));
    ui->widget_browser->setStyleSheet(QStringLiteral("background-color: #252A3E;"));
    setupTitleBar();
    initGeometry();

    connect(ui->pushButton_back, &QPushButton::clicked, ui->widget_browser, &CefWidget::goBack);
    connect(ui->pushButton_forward, &QPushButton::clicked, ui->widget_browser, &CefWidget::goForward);
    connect(ui->pushButton_reload, &QPushButton::clicked, ui->widget_browser, &CefWidget::reload);
    connect(ui->pushButton_min, &QPushButton::clicked, this, &QWidget::showMinimized);
    connect(ui->pushButton_close, &QPushButton::clicked, this, &CloudGame::closeButtonClicked);
    connect(ui->pushButton_max, &QPushButton::clicked, this, &CloudGame::toggleMaximized);

    m_iconTimer = new QTimer(this);
    m_iconTimer->setInterval(1000);
    connect(m_iconTimer, &QTimer::timeout, this, &CloudGame::loadIcon);

    applyRequest(request.type, request.url, request.gameName, request.iconPath);

    m_frameless = new FramelessHelper(this);
    m_frameless->setTitleHeight(ui->widget_title->height());
    m_frameless->setBorderWidth(5);
    m_frameless->setDoubleClickMaximize(true);
    m_frameless->setMovable(true);
    m_frameless->setResizable(true);
    m_frameless->setRubberBandOnResize(true);
    m_frameless->addWindow(this);
    // The compositor's answer to a request may leave the widget's state as it
    // was, and then the widget hears nothing of it.
    connect(m_frameless, &FramelessHelper::shownStateChanged, this, [this](QWidget *widget) {
        if (widget == this)
            showMaximizeButtonState();
    });
    showMaximizeButtonState();

    updateNavigationButtons();
    connect(ui->widget_browser, &CefWidget::gameFullscreen, this, &CloudGame::gameFullscreenSwitch);
    connect(ui->widget_browser, &CefWidget::updateUI, this, &CloudGame::updateNavigationButtons);
    connect(ui->widget_browser, &CefWidget::updateUI, this, &CloudGame::focusLoadedPage);
    ui->widget_browser->setStartUrl(m_url);
    ui->widget_browser->startBrowser();
}

CloudGame::~CloudGame()
{
    delete ui;
}

QString CloudGame::imagePath(const QString &relative)
{
    return QCoreApplication::applicationDirPath() + relative;
}

bool CloudGame::isSignInWindow() const
{
    return m_type == QLatin1String(loginType) || m_type == QLatin1String(cloudLoginType);
}

void CloudGame::setupTitleBar()
{
    ui->label_title->setFullText(QStringLiteral("Vellora"));
    ui->label_title->setStyleSheet(QStringLiteral(
        "QLabel{color: #FFFFFF; font-style: normal; font-weight: bold; font-size: 18px; line-height: 27px;}"));
    ui->label_line->setFixedSize(1, 16);
    ui->label_line->setStyleSheet(QStringLiteral("QLabel{background-color: rgba(255,255,255,51);}"));

    const QString navigationHover = QStringLiteral("#3F000000");
    const QString navigationPressed = QStringLiteral("#66000000");
    const QString windowHover = QStringLiteral("rgba(0, 0, 0, 61)");
    const QString windowPressed = QStringLiteral("rgba(0, 0, 0, 102)");
    setupTitleButton(ui->pushButton_back, QStringLiteral("/image/CloudGame/TitlebarBack.svg"), navigationHover,
                     navigationPressed);
    setupTitleButton(ui->pushButton_forward, QStringLiteral("/image/CloudGame/TitlebarForward.svg"), navigationHover,
                     navigationPressed);
    setupTitleButton(ui->pushButton_reload, QStringLiteral("/image/CloudGame/TitlebarRefresh.svg"), navigationHover,
                     navigationPressed);
    setupTitleButton(ui->pushButton_min, QStringLiteral("/image/CloudGame/TitlebarMinimize.svg"), windowHover,
                     windowPressed);
    setupTitleButton(ui->pushButton_max, QStringLiteral("/image/CloudGame/TitlebarMaximize.svg"), windowHover,
                     windowPressed);
    setupTitleButton(ui->pushButton_close, QStringLiteral("/image/CloudGame/TitlebarClose.svg"),
                     QStringLiteral("rgba(220, 0, 28, 128)"), QStringLiteral("rgba(220, 0, 28, 204)"));
    translateTitleButtons();
}

void CloudGame::translateTitleButtons()
{
    nameTitleButton(ui->pushButton_back, tr("Back"));
    nameTitleButton(ui->pushButton_forward, tr("Forward"));
    nameTitleButton(ui->pushButton_reload, tr("Reload"));
    nameTitleButton(ui->pushButton_min, tr("Minimize"));
    nameTitleButton(ui->pushButton_close, tr("Close"));
    // The maximise button's text depends on the window state.
    updateMaximizeButton();
}

void CloudGame::nameTitleButton(VelPushButton *button, const QString &name)
{
    button->setToolTip(name);
    // The buttons show only images, and Qt does not take a tooltip for the
    // name a screen reader speaks.
    button->setAccessibleName(name);
}

void CloudGame::setupTitleButton(VelPushButton *button, const QString &image, const QString &hover,
                                 const QString &pressed)
{
    button->setText(QString());
    button->setFixedSize(40, 40);
    button->setCursor(Qt::PointingHandCursor);
    button->setImageSize(QSize(40, 40));
    button->setFocusPolicy(Qt::NoFocus);
    button->setImageEx(imagePath(image));
    button->setStyleSheet(QStringLiteral("QPushButton:hover{ background-color: %1; }\n"
                                         "QPushButton:pressed{ background-color: %2; }")
                              .arg(hover, pressed));
}

QRect CloudGame::initialGeometry(const QRect &available)
{
    const int width = qMax(smallestWidth, int(float(available.width()) * windowShare));
    const int height = qMax(smallestHeight, int(float(available.height()) * windowShare));
    // Centred, a window that fits across lies inside the area; one that is
    // wider sticks out equally on both sides, which keeps the title's start
    // and the close button as visible as they can be.
    const int x = available.x() + (available.width() - width) / 2;
    // A window taller than the area would start above it, out of reach, or,
    // for a screen above the primary, on another screen: its title bar goes
    // to the area's top.
    const int y = qMax(available.y(), available.y() + (available.height() - height) / 2);
    return QRect(x, y, width, height);
}

void CloudGame::initGeometry()
{
    QScreen *screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen && !QGuiApplication::screens().isEmpty())
        screen = QGuiApplication::screens().first();
    if (!screen)
        return;
    const QRect geometry = initialGeometry(screen->availableGeometry());
    resize(geometry.size());
    setMinimumSize(smallestWidth, smallestHeight);
    move(geometry.topLeft());
}

void CloudGame::applyRequest(const QString &type, const QString &url, const QString &gameName,
                             const QString &iconPath)
{
    m_url = url.isEmpty() ? VLauncher::publicHomePage() : url;
    m_title = gameName.isEmpty() ? QStringLiteral("Vellora X") : gameName;
    m_iconPath = iconPath.isEmpty() ? imagePath(QStringLiteral("/image/default_img.svg")) : iconPath;
    m_type = type;
    if (isSignInWindow()) {
        if (m_type == QLatin1String(loginType))
            ui->widget_browser->setLoginPage(true);
        else
            ui->widget_browser->setCloudLogin(true);
        ui->widget_browser->setLoadingText(QString());
        m_title = QStringLiteral("Sign in Vellora X");
        m_iconPath = imagePath(QStringLiteral("/image/account/Default_img.svg"));
    }
    if (!m_title.isEmpty()) {
        // A long title is shortened in the title bar; it stays whole in the
        // window title and the label's tooltip.
        ui->label_title->setFullText(m_title);
        ui->label_title->setToolTip(m_title);
        setWindowTitle(m_title);
    }
    if (!m_iconPath.isEmpty())
        loadIcon();
    notifyLauncher(true);
}

void CloudGame::loadIcon()
{
    QString path = m_iconPath;
    if (QFileInfo(path).isFile()) {
        m_iconTimer->stop();
    } else {
        path = imagePath(QStringLiteral("/image/default_img.svg"));
        m_iconTimer->start();
    }
    QPixmap pixmap = ImageManager::instance()->getPixmapByPath(path);
    if (!pixmap.isNull()) {
        const qreal ratio = devicePixelRatioF();
        const QSize target(qRound(ui->label_icon->width() * ratio), qRound(ui->label_icon->height() * ratio));
        pixmap = pixmap.scaled(target, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }
    pixmap = VLauncher::instance()->pixmapToRound(pixmap, 4);
    ui->label_icon->setScaledContents(true);
    ui->label_icon->setPixmap(pixmap);
    QApplication::setWindowIcon(QIcon(pixmap));
    setWindowIcon(QIcon(pixmap));
}

void CloudGame::updateNavigationButtons()
{
    ui->pushButton_back->setEnabled(false);
    ui->pushButton_forward->setEnabled(false);
    ui->pushButton_reload->setEnabled(false);
    ui->pushButton_back->setImage(imagePath(QStringLiteral("/image/CloudGame/TitlebarBack_Disable.svg")));
    ui->pushButton_forward->setImage(imagePath(QStringLiteral("/image/CloudGame/TitlebarForward_Disable.svg")));
    ui->pushButton_reload->setImage(imagePath(QStringLiteral("/image/CloudGame/TitlebarRefresh_Disable.svg")));
    const Browser &browser = ui->widget_browser->browser;
    if (browser) {
        if (browser.CanGoBack()) {
            ui->pushButton_back->setEnabled(true);
            ui->pushButton_back->setImage(imagePath(QStringLiteral("/image/CloudGame/TitlebarBack.svg")));
        }
        if (browser.CanGoForward()) {
            ui->pushButton_forward->setEnabled(true);
            ui->pushButton_forward->setImage(imagePath(QStringLiteral("/image/CloudGame/TitlebarForward.svg")));
        }
        ui->pushButton_reload->setEnabled(true);
        ui->pushButton_reload->setImage(imagePath(QStringLiteral("/image/CloudGame/TitlebarRefresh.svg")));
    }
    update();
}

Qt::WindowStates CloudGame::shownState() const
{
    // The helper keeps what the compositor made of the window where the
    // compositor decides; before it exists the widget's own state holds.
    return m_frameless ? m_frameless->shownState(this) : windowState();
}

void CloudGame::showMaximizeButtonState()
{
    // The button offers the way out of the state the window is shown in: a
    // request the compositor ignores (sway keeps floating windows as they
    // are, cage keeps every window maximised) leaves it as it was.
    if (shownState() & Qt::WindowMaximized) {
        ui->pushButton_max->setImage(imagePath(QStringLiteral("/image/CloudGame/TitlebarRestore.svg")));
        nameTitleButton(ui->pushButton_max, tr("Restore"));
    } else {
        ui->pushButton_max->setImage(imagePath(QStringLiteral("/image/CloudGame/TitlebarMaximize.svg")));
        nameTitleButton(ui->pushButton_max, tr("Maximize"));
    }
}

void CloudGame::updateMaximizeButton()
{
    showMaximizeButtonState();
    // Fullscreen lasts only while the page asks for it.
    if ((windowState() & Qt::WindowFullScreen) && !m_pageFullscreen)
        setWindowState(windowState() & ~Qt::WindowFullScreen);
}

void CloudGame::toggleMaximized()
{
    setWindowState((shownState() ^ Qt::WindowMaximized) & ~Qt::WindowFullScreen);
}

void CloudGame::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        translateTitleButtons();
    } else if (event->type() == QEvent::WindowStateChange) {
        const Qt::WindowStates before = static_cast<QWindowStateChangeEvent *>(event)->oldState();
        if (m_pageFullscreen && (before & Qt::WindowFullScreen) && !(windowState() & Qt::WindowFullScreen))
            leavePageFullscreen();
        updateMaximizeButton();
    }
    QDialog::changeEvent(event);
}

void CloudGame::keyPressEvent(QKeyEvent *event)
{
    // Keys the page leaves unhandled come here from the browser's host widget,
    // as do keys pressed while the window itself has the focus.
    if (event->key() == Qt::Key_Escape)
        setWindowState(windowState() & ~Qt::WindowFullScreen);
    else if (event->key() == Qt::Key_F11)
        setWindowState(windowState() ^ Qt::WindowFullScreen);
    else
        navigateByKey(*event);
    // Never the dialog's own handling: Escape must not close the window.
}

void CloudGame::navigateByKey(const QKeyEvent &event)
{
    // A held key navigates once: a repeating F5 would reload the page
    // continuously.
    if (event.isAutoRepeat())
        return;
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    const int key = event.key();
    if (key == Qt::Key_F5 || (key == Qt::Key_R && modifiers == Qt::ControlModifier))
        ui->widget_browser->reload();
    else if (key == Qt::Key_Left && modifiers == Qt::AltModifier)
        ui->widget_browser->goBack();
    else if (key == Qt::Key_Right && modifiers == Qt::AltModifier)
        ui->widget_browser->goForward();
}

void CloudGame::focusInEvent(QFocusEvent *)
{
    ui->widget_browser->OnGotFocus();
}

void CloudGame::focusLoadedPage()
{
    // A new window takes the focus while its page loads and the browser is
    // still hidden; nothing else hands the focus on once the page is there,
    // and typing would go nowhere until a click into the page.
    if (isActiveWindow() && ui->widget_browser->pageLoaded())
        ui->widget_browser->OnGotFocus();
}

void CloudGame::gameFullscreenSwitch(bool fullscreen)
{
    ui->widget_title->setVisible(!fullscreen);
    m_pageFullscreen = fullscreen;
    if (fullscreen) {
        setWindowState(windowState() | Qt::WindowFullScreen);
        Toast::showTip(tr("Press ESC to exit fullscreen."), this, false, 2000, Toast::AnchorPoint(1));
    } else {
        setWindowState(windowState() & ~Qt::WindowFullScreen);
    }
}

void CloudGame::leavePageFullscreen()
{
    // The window left fullscreen without the page (a new request for the
    // package shows it normal, the manager or a key ended it): a page still
    // fullscreen would keep the title bar hidden on a normal window, leaving
    // nothing to move or close it by. The page's answer brings the bar back.
    ui->widget_browser->browser.GetMainFrame().ExecuteJavaScript(QStringLiteral("{document.webkitExitFullscreen()}"));
}

void CloudGame::closeButtonClicked()
{
    if (isSignInWindow())
        sendLauncherNotice(LauncherMessages::closeLogin());
    close();
}

void CloudGame::closeEvent(QCloseEvent *event)
{
    // A window closed twice before it is deleted (its button, then a file
    // event) still leaves the launcher with one "close".
    if (!m_closeNoticeSent) {
        m_closeNoticeSent = true;
        notifyLauncher(false);
    }
    emit deleteSelf(this);
    QDialog::closeEvent(event);
}

void CloudGame::notifyLauncher(bool open)
{
    if (m_type != QLatin1String(storeType))
        return;
    sendLauncherNotice(LauncherMessages::storeNotice(m_oem, m_packageName, open));
}

void CloudGame::onFileEvent(FileWatcher::FileEvent event)
{
    switch (int(event)) {
    case FileWatcher::QuitApplication:
        QCoreApplication::exit(0);
        break;
    case FileWatcher::LanguageChanged:
        Language::instance()->updateLanguageFromCache();
        break;
    case FileWatcher::CloseLogin:
        if (isSignInWindow())
            close();
        break;
    default:
        break;
    }
}
