#include "OptionsPage.h"

#include "gui/widgets/ClickLabel.h"
#include "gui/widgets/Theme.h"

#include <QGridLayout>

namespace tw::gui {

OptionsPage::OptionsPage(WindowContext& context, std::span<const ToolRow> tools, QWidget* parent)
    : QWidget(parent), m_context(context), m_tools(tools)
{
    auto* grid = new QGridLayout(this);
    for (int index = 0; index < static_cast<int>(m_tools.size()); ++index) {
        const ToolRow& tool = m_tools[static_cast<size_t>(index)];
        auto open = [this, index] { openLink(index); };
        auto* icon = new ClickLabel(QString(), open, this);
        icon->setPixmap(
            symbolPicture(QString::fromLatin1(tool.symbol), QColor(tool.color), 40, false));
        auto* label = new ClickLabel(QString::fromLatin1(tool.name), open, this);
        label->setObjectName(QStringLiteral("toolLink"));
        const int row = index / 2;
        const int column = (index % 2) * 2;
        grid->addWidget(icon, row, column);
        grid->addWidget(label, row, column + 1);
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
}

void OptionsPage::openLink(int index)
{
    openTool(m_tools[static_cast<size_t>(index)], m_context, this);
}

} // namespace tw::gui
