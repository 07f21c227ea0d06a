// The tools the main window opens: the links of the options page and the section page's
// "Preferences" button, each a row of name, picture and window.
#pragma once

#include <QRgb>
#include <span>

class QDialog;
class QWidget;

namespace tw::gui {

struct WindowContext;

/// Makes a tool's window over `parent`, which owns it.
using ToolWindowFactory = QDialog* (*)(WindowContext& context, QWidget* parent);

/// The factory of a window class whose constructor takes (WindowContext&, QWidget* parent).
template <class Window> QDialog* toolWindow(WindowContext& context, QWidget* parent)
{
    return new Window(context, parent);
}

struct ToolRow
{
    /// The link text, as shown.
    const char* name;
    /// The picture: a symbol on a round face of this colour; null for a button's row.
    const char* symbol;
    QRgb color;
    /// Null while the tool is not built.
    ToolWindowFactory window;
    /// What opening the row says while `window` is null; null for
    /// "<name> is not available in this version of Tidewell yet."
    const char* notBuiltText = nullptr;
};

/// The eight tools of the options page, in their order.
std::span<const ToolRow> optionTools();
/// The preferences window, opened by "Preferences" on the section page.
const ToolRow& preferencesTool();

/// Shows the row's window modally: made at the first opening over `parent`'s window and kept
/// for the next ones. A row without a window says that the tool is not available yet.
void openTool(const ToolRow& row, WindowContext& context, QWidget* parent);

} // namespace tw::gui
