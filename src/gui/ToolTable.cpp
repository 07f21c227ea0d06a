#include "ToolTable.h"

#include "gui/WindowContext.h"
#include "gui/browser/BrowserRepairForm.h"
#include "gui/cleaner/SysDiskClearForm.h"
#include "gui/dllfix/RegDllForm.h"
#include "gui/history/RecycleForm.h"
#include "gui/installed/InstalledManageForm.h"
#include "gui/preferences/PreferencesForm.h"
#include "gui/processes/ProcessForm.h"
#include "gui/splitter/FilesSplitteForm.h"
#include "gui/startup/StartupManagerForm.h"
#include "gui/widgets/MessageBox.h"

#include <QDialog>
#include <QPointer>

namespace tw::gui {

namespace {

// A feature fills in its row's window: {..., &toolWindow<TStartupManagerForm>}.
const ToolRow kOptionTools[] = {
    {"Startup Manager", "S", qRgb(40, 140, 90), &toolWindow<TStartupManagerForm>},
    {"Add/Remove Program Manager", "A", qRgb(200, 120, 30), &toolWindow<TInstalledManageForm>},
    {"System and Disk Cleaner", "C", qRgb(30, 110, 200), &toolWindow<TFormSysDiskClear>},
    {"Fix DLL File", "D", qRgb(120, 80, 170), &toolWindow<TFormRegDll>},
    {"Fix IE Browser", "e", qRgb(30, 150, 200), &toolWindow<TBrowserRepairForm>},
    {"History Cleaner", "H", qRgb(180, 60, 60), &toolWindow<TRecycleForm>},
    {"File Splitter", "F", qRgb(90, 110, 130), &toolWindow<TFormFilesSplitte>},
    {"Process Manager", "P", qRgb(60, 130, 60), &toolWindow<TFormProcess>},
};

const ToolRow kPreferences = {"Preferences", nullptr, 0, &toolWindow<TFormOptions>};

} // namespace

std::span<const ToolRow> optionTools()
{
    return kOptionTools;
}

const ToolRow& preferencesTool()
{
    return kPreferences;
}

void openTool(const ToolRow& row, WindowContext& context, QWidget* parent)
{
    if (!row.window) {
        const QString text =
            row.notBuiltText
                ? QString::fromLatin1(row.notBuiltText)
                : QString::fromLatin1(row.name) +
                      QStringLiteral(" is not available in this version of Tidewell yet.");
        showMessage(parent, text, MessageIcon::Information);
        return;
    }
    QPointer<QDialog>& window = context.toolWindows[&row];
    if (!window)
        window = row.window(context, parent ? parent->window() : nullptr);
    window->exec();
}

} // namespace tw::gui
