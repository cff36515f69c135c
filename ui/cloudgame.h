#pragma once

#include "filewatcher.h"
#include "launchrequest.h"

#include <QDialog>

class FramelessHelper;
class QKeyEvent;
class QTimer;
class VelPushButton;

namespace Ui {
class CloudGameClass;
}

// The store and cloud-game window: a frameless window with its own title bar
// (icon, title, back, forward, reload, minimise, maximise, close) over one
// browser. One per launch request whose package has no window yet. Store
// windows tell the launcher when they open and close; sign-in windows when
// their close button is used.
class CloudGame : public QDialog
{
    Q_OBJECT
public:
    static constexpr const char *storeType = "-tradory=";
    static constexpr const char *loginType = "login";
    static constexpr const char *cloudLoginType = "fromCloudLogin";

    explicit CloudGame(const LaunchRequest &request, QWidget *parent = nullptr);
    ~CloudGame() override;

    QString oem() const { return m_oem; }
    QString packageName() const { return m_packageName; }
    QString url() const { return m_url; }
    QString title() const { return m_title; }
    QString type() const { return m_type; }
    QString iconPath() const { return m_iconPath; }
    bool isSignInWindow() const;
    bool isPageFullscreen() const { return m_pageFullscreen; }

    // Size and place for a screen whose available area is available; the
    // top of the window is never above the area's top.
    static QRect initialGeometry(const QRect &available);

    void updateNavigationButtons();

signals:
    void deleteSelf(QObject *object);

public slots:
    void gameFullscreenSwitch(bool fullscreen);
    void onFileEvent(FileWatcher::FileEvent event);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void setupTitleBar();
    static void nameTitleButton(VelPushButton *button, const QString &name);
    void setupTitleButton(VelPushButton *button, const QString &image, const QString &hover, const QString &pressed);
    void translateTitleButtons();
    void navigateByKey(const QKeyEvent &event);
    void initGeometry();
    void applyRequest(const QString &type, const QString &url, const QString &gameName, const QString &iconPath);
    void loadIcon();
    void updateMaximizeButton();
    void showMaximizeButtonState();
    Qt::WindowStates shownState() const;
    void toggleMaximized();
    void leavePageFullscreen();
    void focusLoadedPage();
    void closeButtonClicked();
    void notifyLauncher(bool open);
    static QString imagePath(const QString &relative);

    Ui::CloudGameClass *ui;
    QString m_oem;
    QString m_packageName;
    QString m_url;
    QString m_iconPath;
    QString m_title;
    QString m_type;
    QTimer *m_iconTimer = nullptr;
    FramelessHelper *m_frameless = nullptr;
    bool m_pageFullscreen = false;
    bool m_closeNoticeSent = false;
};
