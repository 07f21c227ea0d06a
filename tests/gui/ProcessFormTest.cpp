// The process manager window on real processes, driven as a user would.
#include "gui/processes/ProcessForm.h"

#include "gui/ToolTable.h"
#include "gui/WindowContext.h"
#include "gui/processes/ProcessModels.h"
#include "gui/widgets/MessageBox.h"
#include "platform/wine/WinePrefix.h"
#include "registry/Session.h"
#include "support/ChildProcess.h"
#include "support/TestSupport.h"
#include "tools/processes/ProcessManager.h"

#include <QApplication>
#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QTest>
#include <fstream>

using namespace tw;
using namespace tw::gui;

namespace {

const QString kColon = QString::fromUtf8("\xEF\xBC\x9A");

std::string taskName(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

} // namespace

class ProcessFormTest : public QObject
{
    Q_OBJECT

private:
    test::TempDir* m_dir = nullptr;
    std::unique_ptr<wine::WinePrefix> m_prefix;
    std::unique_ptr<Session> m_session;
    std::unique_ptr<test::ChildProcess> m_child;
    QStringList m_messages;
    QMessageBox::StandardButton m_answer = QMessageBox::Yes;

    /// A started `sleep` and a shown window that lists it.
    std::unique_ptr<TFormProcess> openWindow()
    {
        m_child = std::make_unique<test::ChildProcess>(std::vector<std::string>{"sleep", "300"});
        const pid_t pid = m_child->pid();
        for (int i = 0; i < 6000 && taskName(pid) != "sleep"; ++i)
            QTest::qWait(10);
        auto form = std::make_unique<TFormProcess>(*m_session);
        form->show();
        return form;
    }
    int childRow(TFormProcess& form) const
    {
        return form.rowOfProcess(static_cast<win::DWORD>(m_child->pid()));
    }
    /// A click on a row of the process list, as the mouse gives it.
    void clickRow(TFormProcess& form, int row)
    {
        const QModelIndex index = form.processModel->index(row, 0);
        form.ListView_pro->scrollTo(index);
        QTest::mouseClick(form.ListView_pro->viewport(), Qt::LeftButton, {},
                          form.ListView_pro->visualRect(index).center());
    }
    std::vector<std::string> columnTexts(const TextRowsModel& model, int column) const
    {
        std::vector<std::string> texts;
        for (int row = 0; row < model.rowCount(); ++row)
            texts.push_back(model.text(row, column));
        return texts;
    }

private slots:
    void init()
    {
        m_dir = new test::TempDir;
        test::PrefixBuilder(m_dir->path() / "prefix").drive('z', "/");
        m_prefix = std::make_unique<wine::WinePrefix>((m_dir->path() / "prefix").string());
        m_session = std::make_unique<Session>(m_prefix->platform());
        m_messages.clear();
        m_answer = QMessageBox::Yes;
        setMessageHandler([this](const MessageRequest& request) {
            m_messages << request.text;
            return request.buttons == MessageButtons::YesNo ? m_answer : QMessageBox::Ok;
        });
    }
    void cleanup()
    {
        setMessageHandler({});
        m_child.reset();
        m_session.reset();
        m_prefix.reset();
        delete m_dir;
        m_dir = nullptr;
    }

    void theOptionsPageRowOpensTheWindow()
    {
        const ToolRow* manager = nullptr;
        for (const ToolRow& row : optionTools()) {
            if (QString::fromLatin1(row.name) == QStringLiteral("Process Manager"))
                manager = &row;
        }
        QVERIFY(manager && manager->window);
        WindowContext context{*m_session, {}, {}, {}};
        const std::unique_ptr<QDialog> window(manager->window(context, nullptr));
        QVERIFY(qobject_cast<TFormProcess*>(window.get()));
    }

    void showingListsTheProcessesUnderTheirTitles()
    {
        auto form = openWindow();
        QCOMPARE(form->windowTitle(), QStringLiteral("Process Manager"));
        const int row = childRow(*form);
        QVERIFY(row >= 0);
        QCOMPARE(form->processModel->text(row, 0), std::string("sleep"));
        QCOMPARE(form->processModel->text(row, 2), std::to_string(::getpid()));
        QCOMPARE(form->Panels[0]->text(), QStringLiteral("Process Total") + kColon +
                                              QString::number(form->processModel->rowCount()));
        const QStringList titles = {
            "Process", "PID", "Parent PID", "Module ID", "Number", "Process Number", "Priority "};
        const int widths[] = {120, 60, 90, 80, 0, 0, 80};
        for (int column = 0; column < titles.size(); ++column) {
            QCOMPARE(
                form->processModel->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(),
                titles[column]);
            QCOMPARE(form->ListView_pro->columnWidth(column), widths[column]);
        }
        // The hidden columns are filled: "Number" and "Process Number".
        QCOMPARE(form->processModel->text(row, 4), std::string("0"));
        QCOMPARE(form->processModel->text(row, 5), std::string("1"));
        QCOMPARE(form->processModel->data(form->processModel->index(row, 1), Qt::TextAlignmentRole)
                     .toInt(),
                 int(Qt::AlignCenter));
        QVERIFY(!form->processModel->data(form->processModel->index(row, 0), Qt::TextAlignmentRole)
                     .isValid());
    }

    void aClickOnEmptySpaceWithoutASelectionAsksForOne()
    {
        auto form = openWindow();
        form->selectProcessRow(-1);
        QTest::mouseClick(form->ListView_pro->viewport(), Qt::LeftButton, {},
                          QPoint(form->ListView_pro->viewport()->width() - 4, 4));
        QCOMPARE(m_messages, QStringList{"Please select a process first!"});
        form->BtnViewModuleClick();
        form->BtnTerminateClick();
        QCOMPARE(m_messages.size(), 3);
        QCOMPARE(m_messages.last(), QStringLiteral("Please select a process first!"));
        QCOMPARE(form->moduleModel->rowCount(), 0);
    }

    void aDoubleClickIsOneClickAndOneDoubleClick()
    {
        auto form = openWindow();
        // As the mouse gives it: a click, then the double click and its release.
        const auto doubleClick = [&](QPoint at) {
            QTest::mouseClick(form->ListView_pro->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(form->ListView_pro->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseRelease(form->ListView_pro->viewport(), Qt::LeftButton, {}, at);
        };
        form->selectProcessRow(-1);
        doubleClick(QPoint(form->ListView_pro->viewport()->width() - 4, 4));
        QCOMPARE(m_messages,
                 (QStringList{"Please select a process first!", "Please select a process first!"}));
        // The next single click is a click again.
        QTest::mouseClick(form->ListView_pro->viewport(), Qt::LeftButton, {},
                          QPoint(form->ListView_pro->viewport()->width() - 4, 4));
        QCOMPARE(m_messages.size(), 3);
        const QModelIndex index = form->processModel->index(childRow(*form), 0);
        form->ListView_pro->scrollTo(index);
        doubleClick(form->ListView_pro->visualRect(index).center());
        QCOMPARE(m_messages.size(), 3);
        QCOMPARE(form->moduleModel->text(0, 0), std::string("sleep"));
    }

    void aClickOnAProcessShowsItsModulesAndMemory()
    {
        auto form = openWindow();
        clickRow(*form, childRow(*form));
        QVERIFY(m_messages.isEmpty());
        QVERIFY(form->moduleModel->rowCount() > 1);
        QCOMPARE(form->moduleModel->text(0, 0), std::string("sleep"));
        QCOMPARE(form->moduleModel->text(0, 4), std::string("65535"));
        QCOMPARE(form->Panels[1]->text(), QStringLiteral("the process module total") + kColon +
                                              QString::number(form->moduleModel->rowCount()));
        QVERIFY2(form->Panels[2]->text().startsWith(QStringLiteral("sleep Memory") + kColon),
                 qPrintable(form->Panels[2]->text()));
        QVERIFY(form->Panels[2]->text().endsWith(QStringLiteral(" KB")));
        const QStringList titles = {"Module Name", "Module Path", "Module ID", "Size(KB)",
                                    QStringLiteral("Reference Count")};
        const int widths[] = {120, 160, 100, 70, 0};
        for (int column = 0; column < titles.size(); ++column) {
            QCOMPARE(
                form->moduleModel->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString(),
                titles[column]);
            QCOMPARE(form->ListView_mod->columnWidth(column), widths[column]);
        }
        // The process has ended since: the memory cannot be read.
        ::kill(m_child->pid(), SIGKILL);
        m_child->wait();
        form->BtnViewModuleClick();
        QCOMPARE(m_messages, QStringList{"Oops...No such process"});
        QCOMPARE(form->moduleModel->rowCount(), 0);
    }

    void terminateAsksAndEndsTheSelectedProcess()
    {
        auto form = openWindow();
        const int count = form->processModel->rowCount();
        form->selectProcessRow(childRow(*form));
        m_answer = QMessageBox::No;
        form->BtnTerminateClick();
        QCOMPARE(m_messages, QStringList{"Do you really want to terminate process? "});
        QVERIFY(m_child->running());
        QCOMPARE(form->processModel->rowCount(), count);

        m_answer = QMessageBox::Yes;
        form->BtnTerminateClick();
        const int status = m_child->wait();
        QVERIFY(WIFSIGNALED(status));
        QCOMPARE(childRow(*form), -1);
        QCOMPARE(form->processModel->rowCount(), count - 1);
        QCOMPARE(form->Panels[0]->text(),
                 QStringLiteral("Process Total") + kColon + QString::number(count - 1));
    }

    void aProcessThatCannotBeEndedLosesItsRowUntilRefresh()
    {
        auto form = openWindow();
        form->selectProcessRow(form->rowOfProcess(1));
        form->BtnTerminateClick();
        QCOMPARE(m_messages, QStringList{"Do you really want to terminate process? "});
        QCOMPARE(form->rowOfProcess(1), -1);
        form->BtnRefreshClick();
        QVERIFY(form->rowOfProcess(1) >= 0);
    }

    void tidewellDoesNotEndItself()
    {
        auto form = openWindow();
        const int count = form->processModel->rowCount();
        form->selectProcessRow(form->rowOfProcess(static_cast<win::DWORD>(::getpid())));
        form->BtnTerminateClick();
        QCOMPARE(m_messages, (QStringList{"Do you really want to terminate process? ",
                                          "Tidewell does not terminate itself."}));
        QCOMPARE(form->processModel->rowCount(), count);
        QVERIFY(form->rowOfProcess(static_cast<win::DWORD>(::getpid())) >= 0);
    }

    void headerClicksSortAndTheListsShareTheDirection()
    {
        auto form = openWindow();
        form->selectProcessRow(childRow(*form));
        QHeaderView* header = form->ListView_pro->horizontalHeader();
        const auto clickHeader = [&](QHeaderView* h, int column) {
            QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                              QPoint(h->sectionViewportPosition(column) + 5, h->height() / 2));
        };
        const auto pids = [&] {
            std::vector<long> numbers;
            for (const std::string& text : columnTexts(*form->processModel, 1))
                numbers.push_back(std::stol(text));
            return numbers;
        };
        clickHeader(header, 1);
        std::vector<long> numbers = pids();
        QVERIFY(std::is_sorted(numbers.rbegin(), numbers.rend()));
        // The selection stays with its process.
        QCOMPARE(form->processModel->text(form->selectedProcessRow(), 1),
                 std::to_string(m_child->pid()));
        clickHeader(header, 1);
        numbers = pids();
        QVERIFY(std::is_sorted(numbers.begin(), numbers.end()));

        // The module list's column 1 turns the same flag.
        form->BtnViewModuleClick();
        form->ListView_modColumnClick(1);
        clickHeader(header, 1);
        numbers = pids();
        QVERIFY(std::is_sorted(numbers.begin(), numbers.end()));

        // Sizes sort as text: "100" before "20".
        form->ListView_modColumnClick(3);
        const std::vector<std::string> sizes = columnTexts(*form->moduleModel, 3);
        for (size_t i = 1; i < sizes.size(); ++i)
            QVERIFY2(compareText(sizes[i - 1], sizes[i]) <= 0,
                     (sizes[i - 1] + " before " + sizes[i]).c_str());
    }
};

QTEST_MAIN(ProcessFormTest)
#include "ProcessFormTest.moc"
