#include "app/ProgressWindow.h"

#include "files/ItemNames.h"

#include <QCoreApplication>
#include <QProgressDialog>

namespace pictomat {

ProgressWindow::ProgressWindow(QString title, Reporter reported)
    : m_title(std::move(title)), m_reported(std::move(reported))
{
    m_clock.start();
}

ProgressWindow::~ProgressWindow() = default;

void ProgressWindow::itemStarted(int index, int count, const FileRef& item)
{
    m_index = index;
    m_count = count;
    m_item = item;
    if (m_reported)
        m_reported(m_title, index, count, item);
    if (!m_dialog && m_clock.elapsed() >= kShowAfterMs && count > 1)
        show();
    describe();
    // The window repaints, Stop is heard and the menu stays usable.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
}

bool ProgressWindow::keepWaiting()
{
    // The wait runs the event loop: the window shows and Stop is heard.
    if (!m_dialog && m_clock.elapsed() >= kShowAfterMs && !m_stop) {
        show();
        describe();
    }
    return !m_stop;
}

void ProgressWindow::show()
{
    m_dialog = std::make_unique<QProgressDialog>();
    m_dialog->setObjectName(QStringLiteral("pictomatProgress"));
    m_dialog->setWindowTitle(m_title);
    m_dialog->setCancelButtonText(QCoreApplication::translate("Progress", "Stop"));
    m_dialog->setWindowModality(Qt::NonModal);
    m_dialog->setMinimumDuration(0);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    m_dialog->setRange(0, m_count);
    m_dialog->setMinimumWidth(360);
    QObject::connect(m_dialog.get(), &QProgressDialog::canceled, [this] { m_stop = true; });
    m_dialog->show();
}

void ProgressWindow::describe()
{
    if (!m_dialog)
        return;
    const QString name = DisplayName(m_item).value_or(QString());
    m_dialog->setLabelText(
        QCoreApplication::translate("Progress", "%1\n%2 of %3\n%4").arg(m_title).arg(m_index).arg(m_count).arg(name));
    m_dialog->setValue(m_index - 1);
}

} // namespace pictomat
