// Page 4, "Options": a picture and a link for each tool of the tool table, two to a row.
#pragma once

#include "gui/ToolTable.h"

#include <QWidget>
#include <span>

namespace tw::gui {

class OptionsPage : public QWidget
{
    Q_OBJECT
public:
    /// One link for each row of `tools`, in their order; the rows must outlive the page.
    OptionsPage(WindowContext& context, std::span<const ToolRow> tools = optionTools(),
                QWidget* parent = nullptr);

    /// Opens the tool of link `index`, as a click on its picture or its name does.
    void openLink(int index);

private:
    WindowContext& m_context;
    std::span<const ToolRow> m_tools;
};

} // namespace tw::gui
