#include "MainForm.h"

#include "AboutForm.h"
#include "gui/pages/BackupPage.h"
#include "gui/pages/OptionsPage.h"
#include "gui/pages/ReportPage.h"
#include "gui/pages/ResultPage.h"
#include "gui/pages/ScanProgressPage.h"
#include "gui/pages/SectionPage.h"
#include "gui/preferences/UpdateFlow.h"
#include "gui/widgets/ClickLabel.h"
#include "gui/widgets/MessageBox.h"
#include "gui/widgets/Theme.h"
#include "registry/ProgramInfo.h"
#include "registry/PublicFunctions.h"
#include "registry/Session.h"

#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QScreen>
#include <QStackedWidget>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWindow>

namespace tw::gui {

namespace {

constexpr QSize kDesignedSize(692, 439);

/// The header band: pressing the mouse on it drags the window.
class HeaderBand : public QLabel
{
public:
    explicit HeaderBand(QWidget* parent) : QLabel(parent) { setFixedHeight(56); }

protected:
    void resizeEvent(QResizeEvent*) override { setPixmap(headerPicture(width(), height())); }
    void mousePressEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton && window()->windowHandle())
            window()->windowHandle()->startSystemMove();
    }
};

QToolButton* navigationButton(const QString& text, const QString& symbol, const QColor& color,
                              const QString& tip, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setIcon(QIcon(symbolPicture(symbol, color, 40, false)));
    button->setIconSize({40, 40});
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setToolTip(tip);
    button->setAutoRaise(true);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

QSize TMainForm::windowSizeFor(const QSize& screen)
{
    struct Row
    {
        int height, width;
        double heightFactor, widthFactor;
    };
    static const Row table[] = {
        {1600, 1200, 0.30, 0.58},
        {1024, 1280, 0.46, 0.55},
        {768, 1024, 0.65, 0.70},
        {600, 800, 0.77, 0.88},
    };
    for (const Row& row : table) {
        if (screen.height() == row.height && screen.width() == row.width)
            return {static_cast<int>(screen.width() * row.widthFactor),
                    static_cast<int>(screen.height() * row.heightFactor)};
    }
    return kDesignedSize;
}

TMainForm::TMainForm(MainFormSetup setup, QWidget* parent)
    : QMainWindow(parent), m_context{*setup.session,
                                     setup.readOnlyReason,
                                     std::move(setup.commitChanges),
                                     {}},
      m_switchPrefix(std::move(setup.switchPrefix))
{
    m_title = QStringLiteral("%1 ver %2")
                  .arg(QStringLiteral("Tidewell"), QString::fromLatin1(kProgramVersion));
    if (!setup.prefixDescription.isEmpty())
        m_title += QStringLiteral(" \u2014 ") + setup.prefixDescription;
    setWindowIcon(applicationIcon());
    setMinimumSize(482, 96);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 6);
    layout->setSpacing(4);
    layout->addWidget(buildHeader(setup.prefixDescription));
    ReadOnlyBanner = new QLabel(central);
    ReadOnlyBanner->setObjectName(QStringLiteral("readOnly"));
    ReadOnlyBanner->setWordWrap(true);
    layout->addWidget(ReadOnlyBanner);
    showReadOnlyState();
    // Told here rather than in a message box: the start goes on.
    QStringList problems;
    for (const std::string& problem : setup.settingsProblems)
        problems << QString::fromStdString(problem);
    SettingsNotice = new QLabel(problems.join(QLatin1Char('\n')), central);
    SettingsNotice->setObjectName(QStringLiteral("settingsNotice"));
    SettingsNotice->setWordWrap(true);
    SettingsNotice->setVisible(!problems.isEmpty());
    layout->addWidget(SettingsNotice);
    // The prefix becomes writable again when Wine, started here or elsewhere, has ended.
    m_context.stateChanged = [this] { showReadOnlyState(); };
    auto* follow = new QTimer(this);
    connect(follow, &QTimer::timeout, this, [this] { m_context.followPrefix(); });
    follow->start(1000);
    // The pages in the order of the Page indexes.
    NotebookScan = new QStackedWidget(central);
    m_scanProgress = new ScanProgressPage(m_context, this);
    m_sections = new SectionPage(m_context, this);
    m_report = new ReportPage(m_context, this);
    m_results = new ResultPage(m_context, this);
    m_options = new OptionsPage(m_context, optionTools(), this);
    m_backups = new BackupPage(m_context, this);
    for (QWidget* page : std::initializer_list<QWidget*>{m_scanProgress, m_sections, m_report,
                                                         m_results, m_options, m_backups})
        NotebookScan->addWidget(page);
    connect(m_sections, &SectionPage::scanRequested, this, &TMainForm::scanSections);
    connect(m_report, &ReportPage::repairRequested, this, &TMainForm::repairReport);
    auto* pageArea = new QHBoxLayout;
    pageArea->setContentsMargins(8, 0, 8, 0);
    pageArea->addWidget(NotebookScan);
    layout->addLayout(pageArea);
    setCentralWidget(central);
    m_context.endProgram = [this] { emit exitRequested(0); };
    m_update = new UpdateFlow(m_context, this);
    buildTray();
    AboutForm = new TAboutForm(m_context.session, this);

    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen ? screen->size() : QSize(1920, 1080);
    resize(windowSizeFor(screenSize));
    move((screenSize.width() - width()) / 2, (screenSize.height() - height()) / 2);
    showPage(Scaning);
}

TMainForm::~TMainForm() = default;

void TMainForm::restoreState()
{
    m_sections->restoreSelection();
    CreateSectionContents(m_context.session);
}

void TMainForm::showReadOnlyState()
{
    ReadOnlyBanner->setText(m_context.readOnlyReason);
    ReadOnlyBanner->setVisible(m_context.isReadOnly());
    setWindowTitle(m_context.isReadOnly() ? m_title + QStringLiteral(" (read-only)") : m_title);
}

QWidget* TMainForm::buildHeader(const QString& prefixDescription)
{
    auto* header = new QWidget(this);
    auto* layout = new QVBoxLayout(header);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(new HeaderBand(header));
    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(8, 2, 8, 2);
    IgeScan = navigationButton(QStringLiteral("Scan"), QStringLiteral("\u25B6"),
                               QColor(30, 110, 200), QStringLiteral("Go Scan Page"), header);
    IgBackup = navigationButton(QStringLiteral("Backup"), QStringLiteral("\u21BA"),
                                QColor(40, 140, 90), QStringLiteral("Go Back Page"), header);
    IeAdvance = navigationButton(QStringLiteral("Options"), QStringLiteral("\u2699"),
                                 QColor(200, 120, 30), QStringLiteral("Advance Options"), header);
    connect(IgeScan, &QToolButton::clicked, this, [this] { IgeScanClick(); });
    connect(IgBackup, &QToolButton::clicked, this, [this] { IgBackupClick(); });
    connect(IeAdvance, &QToolButton::clicked, this, [this] { IeAdvanceClick(); });
    bar->addWidget(IgeScan);
    bar->addWidget(IgBackup);
    bar->addWidget(IeAdvance);
    bar->addStretch();
    // Which prefix is open.
    PrefixLabel = new QLabel(header);
    PrefixLabel->setObjectName(QStringLiteral("prefixName"));
    // Long paths lose their middle; the whole text is the tool tip.
    PrefixLabel->setText(
        PrefixLabel->fontMetrics().elidedText(prefixDescription, Qt::ElideMiddle, 260));
    PrefixLabel->setToolTip(prefixDescription);
    bar->addWidget(PrefixLabel);
    if (m_switchPrefix) {
        SwitchPrefixLink = new ClickLabel(QStringLiteral("<u>Switch prefix</u>"), m_switchPrefix,
                                          header);
        SwitchPrefixLink->setObjectName(QStringLiteral("switchPrefix"));
        SwitchPrefixLink->setCursor(Qt::PointingHandCursor);
        bar->addSpacing(8);
        bar->addWidget(SwitchPrefixLink);
    }
    layout->addLayout(bar);
    return header;
}

void TMainForm::buildTray()
{
    Session& session = m_context.session;
    TrayIcon = new QSystemTrayIcon(applicationIcon(), this);
    TrayIcon->setToolTip(QStringLiteral("Tidewell Ver ") + QString::fromLatin1(kProgramVersion));
    PopupMenu1 = new QMenu(this);
    PopupMenu1->addAction(QStringLiteral("Tidewell"), this, [this] {
        showNormal();
        activateWindow();
    });
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(QStringLiteral("Home Page"), this, [this, &session] {
        guarded(this, [&session] { OpenInBrowser(session, session.AppSettings.HomePage); });
    });
    PopupMenu1->addAction(QStringLiteral("Help"), this, [this, &session] {
        guarded(this, [&session] { OpenInBrowser(session, session.AppSettings.HelpURL); });
    });
    PopupMenu1->addAction(QStringLiteral("Online Update"), this,
                          [this] { m_update->run(UpdateFlow::Mode::Manual); });
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(QStringLiteral("About"), this, [this] {
        AboutForm->show();
        AboutForm->raise();
    });
    PopupMenu1->addSeparator();
    PopupMenu1->addAction(QStringLiteral("Exit"), this, [this] {
        TrayIcon->hide();
        emit exitRequested(1);
    });
    TrayIcon->setContextMenu(PopupMenu1);
    connect(TrayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason != QSystemTrayIcon::Trigger)
                    return;
                TrayIcon->hide();
                showNormal();
                activateWindow();
            });
}

void TMainForm::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // Minimizing hides the program in the notification area.
    if (event->type() == QEvent::WindowStateChange && isMinimized()) {
        TrayIcon->show();
        QMetaObject::invokeMethod(
            this, [this] { hide(); }, Qt::QueuedConnection);
    }
}

int TMainForm::currentPage() const
{
    return NotebookScan->currentIndex();
}

void TMainForm::showPage(Page page)
{
    NotebookScan->setCurrentIndex(page);
}

void TMainForm::IgeScanClick()
{
    if (currentPage() != BeginScan)
        showPage(Scaning);
}

void TMainForm::IeAdvanceClick()
{
    if (currentPage() != BeginScan)
        showPage(Options);
}

void TMainForm::IgBackupClick()
{
    if (currentPage() == BeginScan)
        return;
    m_backups->fillBackupList();
    showPage(BackReg);
}

void TMainForm::scanSections(const SectionSelection& selection)
{
    showPage(BeginScan);
    const std::optional<ScanResult> result = m_scanProgress->runScan(selection);
    // An error ends the scan without its report; the other pages work again.
    if (!result) {
        showPage(Scaning);
        return;
    }
    m_report->showReport(*result);
    showPage(Scanreport);
}

void TMainForm::repairReport()
{
    // Beside a running Wine the repair is refused whole and says why.
    if (m_results->runRepair(false))
        showPage(FinishScan);
}

} // namespace tw::gui
