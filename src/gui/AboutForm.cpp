#include "AboutForm.h"

#include "gui/widgets/MessageBox.h"
#include "gui/widgets/Theme.h"
#include "registry/ProgramInfo.h"
#include "registry/PublicFunctions.h"
#include "registry/Session.h"
#include "registry/Settings.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tw::gui {

TAboutForm::TAboutForm(Session& session, QWidget* parent) : QDialog(parent), m_session(session)
{
    setWindowTitle(QStringLiteral("About"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    auto* layout = new QVBoxLayout(this);
    auto* banner = new QLabel(this);
    banner->setPixmap(headerPicture(360, 70));
    layout->addWidget(banner);
    m_version =
        new QLabel(QStringLiteral("%1 ver %2")
                       .arg(QStringLiteral("Tidewell"), QString::fromLatin1(kProgramVersion)),
                   this);
    m_version->setObjectName(QStringLiteral("heading"));
    layout->addWidget(m_version);
    const QString home = QString::fromStdString(m_session.AppSettings.HomePage);
    m_link = new QLabel(QStringLiteral("<a href=\"%1\" style=\"text-decoration:none\">%1</a>")
                            .arg(home.toHtmlEscaped()),
                        this);
    m_link->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    connect(m_link, &QLabel::linkHovered, this, [this, home](const QString& link) {
        const QString style = link.isEmpty() ? "none" : "underline";
        m_link->setText(QStringLiteral("<a href=\"%1\" style=\"text-decoration:%2\">%1</a>")
                            .arg(home.toHtmlEscaped(), style));
    });
    connect(m_link, &QLabel::linkActivated, this, [this](const QString& url) {
        try {
            OpenInBrowser(m_session, url.toStdString());
        } catch (const std::exception& e) {
            showMessage(this, QString::fromStdString(e.what()), MessageIcon::Error);
        }
    });
    layout->addWidget(m_link);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addWidget(ok, 0, Qt::AlignRight);
    setFixedSize(sizeHint());
}

} // namespace tw::gui
