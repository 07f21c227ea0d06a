#include "ProcessForm.h"

#include "ProcessModels.h"
#include "gui/WindowContext.h"
#include "gui/widgets/ImageButton.h"
#include "gui/widgets/MessageBox.h"
#include "registry/Session.h"
#include "tools/processes/ProcessManager.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMouseEvent>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

namespace tw::gui {

namespace {

const char* const kSelectFirst = "Please select a process first!";

QTableView* makeList(TextRowsModel* model, const std::vector<int>& widths, QWidget* parent)
{
    auto* view = new QTableView(parent);
    view->setModel(model);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setShowGrid(true);
    view->setWordWrap(false);
    view->verticalHeader()->hide();
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
    QHeaderView* header = view->horizontalHeader();
    header->setMinimumSectionSize(0);
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setStretchLastSection(false);
    for (size_t column = 0; column < widths.size(); ++column)
        header->resizeSection(static_cast<int>(column), widths[column]);
    return view;
}

win::DWORD processIdOf(const std::string& text)
{
    try {
        return static_cast<win::DWORD>(std::stoul(text));
    } catch (const std::exception&) {
        return 0;
    }
}

} // namespace

TFormProcess::TFormProcess(WindowContext& context, QWidget* parent)
    : TFormProcess(context.session, parent)
{
}

TFormProcess::TFormProcess(Session& session, QWidget* parent) : QDialog(parent), m_session(session)
{
    setWindowTitle(QStringLiteral("Process Manager"));
    auto* layout = new QVBoxLayout(this);
    auto* buttons = new QHBoxLayout;
    BtnRefresh = new ImageButton(QStringLiteral("Refresh"), ImageButton::Size::Medium, this);
    BtnTerminate =
        new ImageButton(QStringLiteral("Terminate Process"), ImageButton::Size::Large, this);
    BtnViewModule =
        new ImageButton(QStringLiteral("View Process module"), ImageButton::Size::Large, this);
    BtnClose = new ImageButton(QStringLiteral("Close"), ImageButton::Size::Medium, this);
    for (ImageButton* button : {BtnRefresh, BtnTerminate, BtnViewModule, BtnClose})
        buttons->addWidget(button);
    buttons->addStretch();
    layout->addLayout(buttons);

    processModel = new TextRowsModel({QStringLiteral("Process"), QStringLiteral("PID"),
                                      QStringLiteral("Parent PID"), QStringLiteral("Module ID"),
                                      QStringLiteral("Number"), QStringLiteral("Process Number"),
                                      QStringLiteral("Priority ")},
                                     {false, true, true, true, true, true, true}, this);
    moduleModel = new TextRowsModel({QStringLiteral("Module Name"), QStringLiteral("Module Path"),
                                     QStringLiteral("Module ID"), QStringLiteral("Size(KB)"),
                                     QStringLiteral("Reference Count")},
                                    {false, false, false, true, false}, this);
    auto* splitter = new QSplitter(Qt::Vertical, this);
    ListView_pro = makeList(processModel, {120, 60, 90, 80, 0, 0, 80}, splitter);
    ListView_mod = makeList(moduleModel, {120, 160, 100, 70, 0}, splitter);
    splitter->addWidget(ListView_pro);
    splitter->addWidget(ListView_mod);
    layout->addWidget(splitter, 1);

    auto* statusBar = new QStatusBar(this);
    statusBar->setSizeGripEnabled(false);
    const int widths[] = {200, 200, 50};
    for (size_t i = 0; i < Panels.size(); ++i) {
        Panels[i] = new QLabel(statusBar);
        Panels[i]->setMinimumWidth(widths[i]);
        // The memory panel takes the rest, so that its text can be read.
        statusBar->addWidget(Panels[i], i + 1 == Panels.size() ? 1 : 0);
    }
    layout->addWidget(statusBar);

    connect(BtnRefresh, &QAbstractButton::clicked, this, [this] { BtnRefreshClick(); });
    connect(BtnTerminate, &QAbstractButton::clicked, this, [this] { BtnTerminateClick(); });
    connect(BtnViewModule, &QAbstractButton::clicked, this, [this] { BtnViewModuleClick(); });
    connect(BtnClose, &QAbstractButton::clicked, this, [this] { BtnCloseClick(); });
    connect(ListView_pro->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int column) { ListView_proColumnClick(column); });
    connect(ListView_mod->horizontalHeader(), &QHeaderView::sectionClicked, this,
            [this](int column) { ListView_modColumnClick(column); });
    ListView_pro->viewport()->installEventFilter(this);
    resize(640, 520);
}

void TFormProcess::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Restoring the window from the task bar is not a new showing.
    if (!event->spontaneous())
        FormActivate();
}

bool TFormProcess::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ListView_pro->viewport()) {
        // The view has selected the row under the pointer (if any) when the button goes up.
        // A double click is a click and the double click: the release that ends it is not
        // another click.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (event->type() == QEvent::MouseButtonPress) {
            m_doubleClicked = false;
        } else if (event->type() == QEvent::MouseButtonRelease &&
                   mouse->button() == Qt::LeftButton) {
            if (!m_doubleClicked)
                ListView_proClick();
            m_doubleClicked = false;
        } else if (event->type() == QEvent::MouseButtonDblClick &&
                   mouse->button() == Qt::LeftButton) {
            m_doubleClicked = true;
            ListView_proDblClick();
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TFormProcess::fillProcessList()
{
    moduleModel->clear();
    processModel->clear();
    ListRows listing = listProcesses(m_session);
    if (!listing.error.empty()) {
        showMessage(this, QString::fromStdString(listing.error), MessageIcon::Error);
        Panels[0]->setText(QString::fromStdString(processTotalText(0)));
        return;
    }
    processModel->setRows(std::move(listing.rows));
    Panels[0]->setText(
        QString::fromStdString(processTotalText(static_cast<size_t>(processModel->rowCount()))));
}

void TFormProcess::FormActivate()
{
    guarded(this, [this] { fillProcessList(); });
}

void TFormProcess::BtnRefreshClick()
{
    ListView_pro->setUpdatesEnabled(false);
    guarded(this, [this] { fillProcessList(); });
    ListView_pro->setUpdatesEnabled(true);
}

int TFormProcess::selectedProcessRow() const
{
    const QModelIndexList rows = ListView_pro->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void TFormProcess::selectProcessRow(int row)
{
    if (row < 0) {
        ListView_pro->selectionModel()->clearSelection();
        return;
    }
    ListView_pro->selectRow(row);
    ListView_pro->scrollTo(processModel->index(row, 0));
}

int TFormProcess::rowOfProcess(win::DWORD processId) const
{
    const std::string pid = std::to_string(processId);
    for (int row = 0; row < processModel->rowCount(); ++row) {
        if (processModel->text(row, kPidColumn) == pid)
            return row;
    }
    return -1;
}

void TFormProcess::showModules()
{
    const int row = selectedProcessRow();
    if (row < 0) {
        showMessage(this, QString::fromLatin1(kSelectFirst), MessageIcon::Information);
        return;
    }
    moduleModel->clear();
    ListRows listing = listModules(m_session, processIdOf(processModel->text(row, kPidColumn)));
    if (!listing.error.empty()) {
        showMessage(this, QString::fromStdString(listing.error), MessageIcon::Error);
        return;
    }
    moduleModel->setRows(std::move(listing.rows));
    Panels[1]->setText(
        QString::fromStdString(moduleTotalText(static_cast<size_t>(moduleModel->rowCount()))));
    showMemory();
}

void TFormProcess::showMemory()
{
    const int row = selectedProcessRow();
    if (row < 0)
        return;
    Panels[2]->setText(QString::fromStdString(memoryText(
        m_session, processIdOf(processModel->text(row, kPidColumn)), processModel->text(row, 0))));
}

void TFormProcess::ListView_proClick()
{
    Panels[1]->clear();
    Panels[2]->clear();
    guarded(this, [this] { showModules(); });
}

void TFormProcess::ListView_proDblClick()
{
    guarded(this, [this] { showModules(); });
}

void TFormProcess::BtnViewModuleClick()
{
    guarded(this, [this] { showModules(); });
}

void TFormProcess::BtnTerminateClick()
{
    const int row = selectedProcessRow();
    if (row < 0) {
        showMessage(this, QString::fromLatin1(kSelectFirst), MessageIcon::Information);
        return;
    }
    const ListRow process = processModel->rows()[static_cast<size_t>(row)];
    if (showMessage(this, QStringLiteral("Do you really want to terminate process? "),
                    MessageIcon::Question, MessageButtons::YesNo) != QMessageBox::Yes)
        return;
    guarded(this, [&] {
        const TerminateResult result =
            terminateProcess(m_session, processIdOf(process.texts[kPidColumn]), process.startTime);
        if (result.outcome == TerminateOutcome::Refused) {
            showMessage(this, QString::fromStdString(result.message), MessageIcon::Warning);
            return;
        }
        // A process the system would not end comes back at the next refresh.
        processModel->removeRow(row);
        Panels[0]->setText(QString::fromStdString(
            processTotalText(static_cast<size_t>(processModel->rowCount()))));
    });
}

void TFormProcess::BtnCloseClick()
{
    reject();
}

void TFormProcess::ListView_proColumnClick(int column)
{
    processModel->sortByColumn(m_session, ProcessListKind::Processes, column);
}

void TFormProcess::ListView_modColumnClick(int column)
{
    moduleModel->sortByColumn(m_session, ProcessListKind::Modules, column);
}

} // namespace tw::gui
