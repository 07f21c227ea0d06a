#include "MainForm.h"

#include "AboutForm.h"
#include "ImageButton.h"
#include "MessageBox.h"
#include "ProblemListForm.h"
#include "RepairDialogForm.h"
#include "Theme.h"
#include "registry/ProgramInfo.h"
#include "registry/PublicFunctions.h"
#include "registry/Settings.h"
#include "repair/BackupList.h"
#include "repair/RepairDriver.h"

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QSystemTrayIcon>
#include <QTime>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <QWindow>

    namespace tw::gui
{

    namespace {

    constexpr QSize kDesignedSize(692, 439);

    QString fromStd(const std::string& text)
    {
        return QString::fromStdString(text);
    }

    /// A label that reports clicks (the "Select All" label, the tool links).
    class ClickLabel : public QLabel
    {
    public:
        ClickLabel(const QString& text, std::function<void()> onClick, QWidget* parent)
            : QLabel(text, parent), m_onClick(std::move(onClick))
        {
            setCursor(Qt::PointingHandCursor);
        }

    protected:
        void mouseReleaseEvent(QMouseEvent* event) override
        {
            if (event->button() == Qt::LeftButton)
                m_onClick();
        }

    private:
        std::function<void()> m_onClick;
    };

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

    /// Report rows: 88 pixels; caption part, and the count part in red bold below it.
    class ReportDelegate : public QStyledItemDelegate
    {
    public:
        using QStyledItemDelegate::QStyledItemDelegate;
        QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
        {
            return {option.rect.width(), 88};
        }
        void paint(QPainter* p, const QStyleOptionViewItem& option,
                   const QModelIndex& index) const override
        {
            const QString text = index.data().toString();
            const int dot = text.indexOf(QLatin1Char('.'));
            const QString caption = QStringLiteral("     ") + text.left(dot);
            const QString count = text.mid(dot + 1);
            const bool selected = option.state & QStyle::State_Selected;
            p->save();
            p->fillRect(option.rect,
                        selected ? QColor(128, 128, 128) : option.palette.base().color());
            p->setPen(selected ? QColor(255, 251, 240) : QColor(215, 228, 242));
            p->drawRect(option.rect.adjusted(0, 0, -1, -1));
            QFont bold = option.font;
            bold.setBold(true);
            p->setFont(bold);
            const QFontMetrics metrics(bold);
            p->setPen(selected ? QColor(Qt::red) : QColor(Qt::black));
            p->drawText(option.rect.topLeft() + QPoint(0, metrics.ascent()), caption);
            p->setPen(Qt::red);
            p->drawText(option.rect.topLeft() + QPoint(20, 20 + metrics.ascent()), count);
            p->restore();
        }
    };

    /// The result list and the state window's label, for the repair routines.
    class WindowRepairView : public RepairView
    {
    public:
        WindowRepairView(QTreeWidget* list, TRepairDialogForm* dialog)
            : m_list(list), m_dialog(dialog)
        {
        }
        void setLabel(const std::string& text) override
        {
            m_dialog->label()->setText(fromStd(text));
        }
        int addResultRow(const std::string& problem) override
        {
            new QTreeWidgetItem(m_list, {fromStd(problem)});
            return m_list->topLevelItemCount() - 1;
        }
        void setResultStatus(int row, const std::string& status) override
        {
            m_list->topLevelItem(row)->setText(1, fromStd(status));
        }
        void yield() override { QCoreApplication::processEvents(); }

    private:
        QTreeWidget* m_list;
        TRepairDialogForm* m_dialog;
    };

    QString formatBackupTime(const platform::SystemTime& t)
    {
        const QLocale locale;
        const QDate date(t.year, t.month, t.day);
        QString text = locale.toString(date, QLocale::ShortFormat);
        if (t.hour || t.minute || t.second || t.milliseconds)
            text += QLatin1Char(' ') +
                    locale.toString(QTime(t.hour, t.minute, t.second), QLocale::LongFormat);
        return text;
    }

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

    QLabel* heading(const QString& text, QWidget* parent)
    {
        auto* label = new QLabel(text, parent);
        label->setObjectName(QStringLiteral("heading"));
        return label;
    }

    /// The tools of the options page, in their order.
    struct ToolLink
    {
        const char* label;
        const char* symbol;
        QColor color;
    };

    const ToolLink kToolLinks[] = {
        {"Startup Manager", "S", QColor(40, 140, 90)},
        {"Add/Revove Pragram Manager", "A", QColor(200, 120, 30)},
        {"System and Disk Cleaner", "C", QColor(30, 110, 200)},
        {"Fix DLL File", "D", QColor(120, 80, 170)},
        {"Fix IE Browser", "e", QColor(30, 150, 200)},
        {"History Cleaner", "H", QColor(180, 60, 60)},
        {"File Splitte", "F", QColor(90, 110, 130)},
        {"Process Manager", "P", QColor(60, 130, 60)},
    };

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

    TMainForm::TMainForm(MainFormSetup setup, QWidget * parent)
        : QMainWindow(parent), m_setup(std::move(setup)), m_session(*m_setup.session)
    {
        QString title = QStringLiteral("%1 ver %2")
                            .arg(QStringLiteral("Tidewell"), QString::fromLatin1(kProgramVersion));
        if (!m_setup.prefixDescription.isEmpty())
            title += QStringLiteral(" \u2014 ") + m_setup.prefixDescription;
        if (!m_setup.readOnlyReason.isEmpty())
            title += QStringLiteral(" (read-only)");
        setWindowTitle(title);
        setWindowIcon(applicationIcon());
        setMinimumSize(482, 96);

        auto* central = new QWidget(this);
        auto* layout = new QVBoxLayout(central);
        layout->setContentsMargins(0, 0, 0, 6);
        layout->setSpacing(4);
        layout->addWidget(buildHeader());
        if (!m_setup.readOnlyReason.isEmpty()) {
            ReadOnlyBanner = new QLabel(m_setup.readOnlyReason, central);
            ReadOnlyBanner->setObjectName(QStringLiteral("readOnly"));
            ReadOnlyBanner->setWordWrap(true);
            layout->addWidget(ReadOnlyBanner);
        }
        NotebookScan = new QStackedWidget(central);
        NotebookScan->addWidget(buildScanPage());
        NotebookScan->addWidget(buildSectionPage());
        NotebookScan->addWidget(buildReportPage());
        NotebookScan->addWidget(buildResultPage());
        NotebookScan->addWidget(buildOptionsPage());
        NotebookScan->addWidget(buildBackupPage());
        auto* pageArea = new QHBoxLayout;
        pageArea->setContentsMargins(8, 0, 8, 0);
        pageArea->addWidget(NotebookScan);
        layout->addLayout(pageArea);
        setCentralWidget(central);
        buildTray();

        ProblemList = new TFormProblemList(m_session, this);
        AboutForm = new TAboutForm(m_session, this);

        SectionSelection selection{};
        bool selectAll = false;
        RestoreScanSelection(m_session, selection, selectAll);
        for (int i = 0; i < ChLBSection->count(); ++i)
            ChLBSection->item(i)->setCheckState(selection[static_cast<size_t>(i)] ? Qt::Checked
                                                                                  : Qt::Unchecked);
        ChbSelectAll->setChecked(selectAll);
        CreateSectionContents(m_session);

        const QScreen* screen = QGuiApplication::primaryScreen();
        const QSize screenSize = screen ? screen->size() : QSize(1920, 1080);
        resize(windowSizeFor(screenSize));
        move((screenSize.width() - width()) / 2, (screenSize.height() - height()) / 2);
        showPage(Scaning);
    }

    TMainForm::~TMainForm() = default;

    QWidget* TMainForm::buildHeader()
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
        IeAdvance =
            navigationButton(QStringLiteral("Options"), QStringLiteral("\u2699"),
                             QColor(200, 120, 30), QStringLiteral("Advance Options"), header);
        connect(IgeScan, &QToolButton::clicked, this, [this] { IgeScanClick(); });
        connect(IgBackup, &QToolButton::clicked, this, [this] { IgBackupClick(); });
        connect(IeAdvance, &QToolButton::clicked, this, [this] { IeAdvanceClick(); });
        bar->addWidget(IgeScan);
        bar->addWidget(IgBackup);
        bar->addWidget(IeAdvance);
        bar->addStretch();
        layout->addLayout(bar);
        return header;
    }

    QWidget* TMainForm::buildScanPage()
    {
        auto* page = new QWidget(this);
        auto* layout = new QVBoxLayout(page);
        OutcomeGrid = new QTreeWidget(page);
        OutcomeGrid->setHeaderLabels({"Section Name", "Problems", "Status"});
        OutcomeGrid->setRootIsDecorated(false);
        OutcomeGrid->header()->setStretchLastSection(false);
        OutcomeGrid->header()->setSectionResizeMode(0, QHeaderView::Stretch);
        OutcomeGrid->setColumnWidth(1, 80);
        OutcomeGrid->setColumnWidth(2, 110);
        layout->addWidget(OutcomeGrid);
        ScanOutcomePanel = new QLabel(page);
        ScanOutcomePanel->setTextFormat(Qt::PlainText);
        layout->addWidget(ScanOutcomePanel);
        auto* bottom = new QHBoxLayout;
        ProgressBar1 = new QProgressBar(page);
        ProgressBar1->setRange(0, 100);
        bottom->addWidget(ProgressBar1);
        ImageExAbort =
            new ImageButton(QStringLiteral("Abort Scan"), ImageButton::Size::Medium, page);
        connect(ImageExAbort, &QAbstractButton::clicked, this, [this] { ImageExAbortClick(); });
        bottom->addWidget(ImageExAbort);
        layout->addLayout(bottom);
        return page;
    }

    QWidget* TMainForm::buildSectionPage()
    {
        auto* page = new QWidget(this);
        auto* layout = new QGridLayout(page);
        layout->addWidget(heading(QStringLiteral("Scan Options:"), page), 0, 0, 1, 2);
        ChLBSection = new QListWidget(page);
        for (const SectionInfo& section : Sections()) {
            auto* item = new QListWidgetItem(fromStd(std::string(section.caption)), ChLBSection);
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
        }
        layout->addWidget(ChLBSection, 1, 0, 3, 1);
        auto* selectAll = new QHBoxLayout;
        ChbSelectAll = new QCheckBox(page);
        LbSelectAll = new ClickLabel(
            QStringLiteral("Select All"), [this] { suitempChbSelectAllClick(true); }, page);
        connect(ChbSelectAll, &QCheckBox::clicked, this,
                [this] { suitempChbSelectAllClick(false); });
        selectAll->addWidget(ChbSelectAll);
        selectAll->addWidget(LbSelectAll);
        selectAll->addStretch();
        layout->addLayout(selectAll, 4, 0);

        auto* side = new QVBoxLayout;
        auto* tools = new QHBoxLayout;
        IgxPreferences =
            new ImageButton(QStringLiteral("Preferences"), ImageButton::Size::Medium, page);
        IgxHelp = new ImageButton(QStringLiteral("Help"), ImageButton::Size::Small, page);
        tools->addWidget(IgxPreferences);
        tools->addSpacing(10);
        tools->addWidget(IgxHelp);
        tools->addStretch();
        side->addLayout(tools);
        side->addStretch();
        IgeScanNow = new QToolButton(page);
        IgeScanNow->setIcon(
            QIcon(symbolPicture(QStringLiteral("\u25B6"), QColor(30, 110, 200), 96, false)));
        IgeScanNow->setIconSize({96, 96});
        IgeScanNow->setText(QStringLiteral("Scan Now"));
        IgeScanNow->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        IgeScanNow->setAutoRaise(true);
        IgeScanNow->setCursor(Qt::PointingHandCursor);
        side->addWidget(IgeScanNow, 0, Qt::AlignHCenter);
        side->addStretch();
        layout->addLayout(side, 1, 1, 4, 1);
        layout->setColumnStretch(0, 3);
        layout->setColumnStretch(1, 2);

        connect(IgeScanNow, &QToolButton::clicked, this, [this] { SpbScanNowClick(); });
        connect(IgxHelp, &QAbstractButton::clicked, this, [this] {
            guarded([this] { OpenInBrowser(m_session, m_session.AppSettings.HelpURL); });
        });
        connect(IgxPreferences, &QAbstractButton::clicked, this, [this] {
            showMessage(
                this,
                QStringLiteral("Preferences are not available in this version of Tidewell yet."),
                MessageIcon::Information);
        });
        return page;
    }

    QWidget* TMainForm::buildReportPage()
    {
        auto* page = new QWidget(this);
        auto* layout = new QVBoxLayout(page);
        auto* top = new QHBoxLayout;
        top->addWidget(heading(QStringLiteral("Found Problems:"), page));
        LbShowProblem = new QLabel(QStringLiteral("0"), page);
        LbShowProblem->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
        top->addWidget(LbShowProblem);
        top->addStretch();
        layout->addLayout(top);
        RepairList = new QListWidget(page);
        RepairList->setItemDelegate(new ReportDelegate(RepairList));
        RepairList->setSelectionMode(QAbstractItemView::SingleSelection);
        RepairList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        connect(RepairList, &QListWidget::itemDoubleClicked, this,
                [this] { suitempRepairListDblClick(); });
        layout->addWidget(RepairList);
        SpbRepair =
            new ImageButton(QStringLiteral("Repair Problems"), ImageButton::Size::Large, page);
        connect(SpbRepair, &QAbstractButton::clicked, this, [this] { SpbRepairClick(); });
        layout->addWidget(SpbRepair, 0, Qt::AlignRight);
        return page;
    }

    QWidget* TMainForm::buildResultPage()
    {
        auto* page = new QWidget(this);
        auto* layout = new QVBoxLayout(page);
        FinishListView = new QTreeWidget(page);
        FinishListView->setHeaderLabels({"Problems", "Status"});
        FinishListView->setRootIsDecorated(false);
        FinishListView->header()->setStretchLastSection(false);
        FinishListView->header()->setSectionResizeMode(0, QHeaderView::Stretch);
        FinishListView->setColumnWidth(1, 120);
        layout->addWidget(FinishListView);
        return page;
    }

    QWidget* TMainForm::buildOptionsPage()
    {
        auto* page = new QWidget(this);
        auto* grid = new QGridLayout(page);
        int index = 0;
        for (const ToolLink& tool : kToolLinks) {
            const QString name = QString::fromLatin1(tool.label);
            auto open = [this, name] {
                showMessage(
                    this,
                    name + QStringLiteral(" is not available in this version of Tidewell yet."),
                    MessageIcon::Information);
            };
            auto* icon = new ClickLabel(QString(), open, page);
            icon->setPixmap(symbolPicture(QString::fromLatin1(tool.symbol), tool.color, 40, false));
            auto* label = new ClickLabel(name, open, page);
            label->setObjectName(QStringLiteral("toolLink"));
            const int row = index / 2;
            const int column = (index % 2) * 2;
            grid->addWidget(icon, row, column);
            grid->addWidget(label, row, column + 1);
            ++index;
        }
        grid->setColumnStretch(1, 1);
        grid->setColumnStretch(3, 1);
        return page;
    }

    QWidget* TMainForm::buildBackupPage()
    {
        auto* page = new QWidget(this);
        auto* layout = new QVBoxLayout(page);
        layout->addWidget(heading(QStringLiteral("Registry Backup / Restore Items:"), page));
        BackupDataListView = new QTreeWidget(page);
        BackupDataListView->setHeaderLabels({"Backup Time", "Backup File"});
        BackupDataListView->setRootIsDecorated(false);
        BackupDataListView->setSelectionBehavior(QAbstractItemView::SelectRows);
        BackupDataListView->setColumnWidth(0, 150);
        layout->addWidget(BackupDataListView);
        auto* buttons = new QHBoxLayout;
        buttons->addStretch();
        SpbBackReg =
            new ImageButton(QStringLiteral("BackRegistry"), ImageButton::Size::Medium, page);
        SpbRestore =
            new ImageButton(QStringLiteral("Restore Registry"), ImageButton::Size::Large, page);
        SpdRemove =
            new ImageButton(QStringLiteral("Remove Backup"), ImageButton::Size::Large, page);
        buttons->addWidget(SpbBackReg);
        buttons->addSpacing(10);
        buttons->addWidget(SpbRestore);
        buttons->addSpacing(10);
        buttons->addWidget(SpdRemove);
        buttons->addSpacing(10);
        layout->addLayout(buttons);
        connect(SpbBackReg, &QAbstractButton::clicked, this, [this] { SpbBackRegClick(); });
        connect(SpbRestore, &QAbstractButton::clicked, this, [this] { SpbRestoreClick(); });
        connect(SpdRemove, &QAbstractButton::clicked, this, [this] { SpdRemoveClick(); });
        return page;
    }

    void TMainForm::buildTray()
    {
        TrayIcon = new QSystemTrayIcon(applicationIcon(), this);
        TrayIcon->setToolTip(QStringLiteral("Tidewell Ver ") +
                             QString::fromLatin1(kProgramVersion));
        PopupMenu1 = new QMenu(this);
        PopupMenu1->addAction(QStringLiteral("Tidewell"), this, [this] {
            showNormal();
            activateWindow();
        });
        PopupMenu1->addSeparator();
        PopupMenu1->addAction(QStringLiteral("Home Page"), this, [this] {
            guarded([this] { OpenInBrowser(m_session, m_session.AppSettings.HomePage); });
        });
        PopupMenu1->addAction(QStringLiteral("Help"), this, [this] {
            guarded([this] { OpenInBrowser(m_session, m_session.AppSettings.HelpURL); });
        });
        PopupMenu1->addAction(QStringLiteral("Online Update"), this, [this] {
            showMessage(
                this,
                QStringLiteral("Online Update is not available in this version of Tidewell yet."),
                MessageIcon::Information);
        });
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

    void TMainForm::changeEvent(QEvent * event)
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

    void TMainForm::guarded(const std::function<void()>& action)
    {
        try {
            action();
        } catch (const std::exception& e) {
            showMessage(this, fromStd(e.what()), MessageIcon::Error);
        }
    }

    void TMainForm::commit()
    {
        if (!m_setup.commitChanges)
            return;
        const QString error = m_setup.commitChanges();
        if (!error.isEmpty())
            showMessage(this, error, MessageIcon::Error);
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
        guarded([this] { fillBackupList(); });
        showPage(BackReg);
    }

    void TMainForm::suitempChbSelectAllClick(bool fromLabel)
    {
        if (fromLabel)
            ChbSelectAll->setChecked(!ChbSelectAll->isChecked());
        const Qt::CheckState state = ChbSelectAll->isChecked() ? Qt::Checked : Qt::Unchecked;
        for (int i = 0; i < ChLBSection->count(); ++i)
            ChLBSection->item(i)->setCheckState(state);
    }

    void TMainForm::ImageExAbortClick()
    {
        m_session.OperationState = kOperationAbortScan;
    }

    void TMainForm::SpbScanNowClick()
    {
        bool finished = false;
        guarded([this, &finished] {
            SectionSelection selection{};
            for (int i = 0; i < ChLBSection->count(); ++i)
                selection[static_cast<size_t>(i)] =
                    ChLBSection->item(i)->checkState() == Qt::Checked;
            showPage(BeginScan);
            ProgressBar1->setValue(0);
            m_sinceYield.invalidate();
            const ScanResult result = ScanSections(m_session, selection, m_grid, *this);
            finished = true;
            showMessage(this, fromStd(result.message), MessageIcon::Exclamation);
            showReport(result);
        });
        // An error ends the scan without its report; the other pages work again.
        if (!finished)
            showPage(Scaning);
    }

    void TMainForm::gridChanged(int row)
    {
        const QIcon icon(symbolPicture(QStringLiteral("\u2022"), QColor(30, 110, 200), 16, false));
        if (row < 0) {
            OutcomeGrid->clear();
            for (const OutcomeRow& cells : m_grid.rows) {
                auto* item = new QTreeWidgetItem(OutcomeGrid, {fromStd(cells.caption),
                                                               fromStd(cells.problemsText()),
                                                               fromStd(cells.statusText())});
                item->setForeground(1, QColor(Qt::red));
                if (!cells.isTotal)
                    item->setIcon(0, icon);
            }
            return;
        }
        if (QTreeWidgetItem* item = OutcomeGrid->topLevelItem(row)) {
            const OutcomeRow& cells = m_grid.rows.at(static_cast<size_t>(row));
            item->setText(1, fromStd(cells.problemsText()));
            item->setText(2, fromStd(cells.statusText()));
        }
    }

    void TMainForm::statusChanged(const std::string& text)
    {
        ScanOutcomePanel->setText(fromStd(text));
    }

    void TMainForm::progressChanged(int position)
    {
        ProgressBar1->setValue(position);
    }

    void TMainForm::yield()
    {
        // The deep walks yield per key; serving the window every 15 ms keeps it live and the
        // scan fast.
        if (m_sinceYield.isValid() && m_sinceYield.elapsed() < 15)
            return;
        QCoreApplication::processEvents();
        m_sinceYield.start();
    }

    void TMainForm::showReport(const ScanResult& result)
    {
        showPage(Scanreport);
        LbShowProblem->setText(QString::number(result.totalProblems));
        RepairList->clear();
        for (const std::string& row : result.reportRows)
            RepairList->addItem(fromStd(row));
    }

    void TMainForm::suitempRepairListDblClick()
    {
        const int row = RepairList->currentRow();
        if (row < 0 || row >= static_cast<int>(m_session.ReportRowSection.size()))
            return;
        ProblemList->SectionIndex = m_session.ReportRowSection[static_cast<size_t>(row)];
        ProblemList->exec();
    }

    void TMainForm::SpbRepairClick()
    {
        // Beside a running Wine nothing can change: no backup is written and the rows fail.
        const bool readOnly = !m_setup.readOnlyReason.isEmpty();
        runRepair(readOnly);
        if (readOnly && FinishListView->topLevelItemCount() > 0)
            showMessage(this, m_setup.readOnlyReason, MessageIcon::Exclamation);
    }

    void TMainForm::repairWithoutBackup()
    {
        runRepair(true);
    }

    void TMainForm::runRepair(bool skipBackup)
    {
        if (RepairList->count() == 0)
            return;
        guarded([this, skipBackup] {
            FinishListView->clear();
            auto* dialog = new TRepairDialogForm(m_session, this);
            WindowRepairView view(FinishListView, dialog);
            bool dialogShown = false;
            auto showDialog = [&] {
                dialog->show();
                dialog->repaint();
                dialogShown = true;
            };
            const RepairRun run =
                RepairProblems(m_session, view, skipBackup, [&](const RepairRun& backup) {
                    showMessage(this, fromStd(backup.backupNotice), MessageIcon::Information);
                    showDialog();
                });
            if (!dialogShown && run.repaired)
                showDialog();
            dialog->hide();
            dialog->deleteLater();
            if (!run.repaired) {
                if (!run.failure.empty())
                    showMessage(this, fromStd(run.failure), MessageIcon::Error);
                return;
            }
            if (!skipBackup)
                commit();
            showMessage(this, fromStd(run.completedMessage), MessageIcon::Information);
            showPage(FinishScan);
        });
    }

    void TMainForm::fillBackupList()
    {
        BackupDataListView->clear();
        for (const BackupEntry& entry : ListBackups(m_session))
            addBackupRow(entry.path, entry.time);
    }

    void TMainForm::addBackupRow(const std::string& path, const platform::SystemTime& time)
    {
        new QTreeWidgetItem(BackupDataListView, {formatBackupTime(time), fromStd(path)});
    }

    void TMainForm::SpbBackRegClick()
    {
        guarded([this] {
            const BackupActionResult result = FullBackup(m_session);
            if (result.added)
                addBackupRow(result.added->path, result.added->time);
            QString text = fromStd(result.message);
            if (!result.detail.empty())
                text += QStringLiteral("\r") + fromStd(result.detail);
            showMessage(this, text, MessageIcon::None);
        });
    }

    void TMainForm::SpbRestoreClick()
    {
        QTreeWidgetItem* row = BackupDataListView->currentItem();
        if (!row) {
            showMessage(this, QString::fromLatin1(kNoSelectionMessage), MessageIcon::None);
            return;
        }
        if (showMessage(this, QString::fromLatin1(kRestoreQuestion), MessageIcon::Information,
                        MessageButtons::YesNo) != QMessageBox::Yes)
            return;
        guarded([this, row] {
            const BackupActionResult result = RestoreBackup(m_session, row->text(1).toStdString());
            if (result.ok)
                commit();
            QString text = fromStd(result.message);
            if (!result.detail.empty())
                text += QStringLiteral("\r") + fromStd(result.detail);
            showMessage(this, text, result.ok ? MessageIcon::None : MessageIcon::Exclamation);
        });
    }

    void TMainForm::SpdRemoveClick()
    {
        QTreeWidgetItem* row = BackupDataListView->currentItem();
        if (!row) {
            showMessage(this, QString::fromLatin1(kNoSelectionMessage), MessageIcon::None);
            return;
        }
        if (showMessage(this, QString::fromLatin1(kRemoveQuestion), MessageIcon::Exclamation,
                        MessageButtons::YesNo) != QMessageBox::Yes)
            return;
        guarded([this, row] {
            const BackupActionResult result = RemoveBackup(m_session, row->text(1).toStdString());
            if (result.message.empty())
                return;
            if (result.ok)
                delete row;
            showMessage(this, fromStd(result.message),
                        result.ok ? MessageIcon::None : MessageIcon::Exclamation);
        });
    }

} // namespace tw::gui
