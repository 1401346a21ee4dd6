#include "tfbarra.h"
#include "ui_tfbarra.h"

#include "messageboxes.h"
#include "pixelfonts.h"
#include "screencentring.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QPointer>

#include <utility>

namespace {

TFBarra *openBar = nullptr;

progress::Clock &barClock()
{
    static progress::Clock clock = progress::timeOfDay;
    return clock;
}

} // namespace

TFBarra::TFBarra(progress::Clock clock)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    , m_ui(std::make_unique<Ui::TFBarra>())
    , m_estimate(std::move(clock))
{
    m_ui->setupUi(this);
    applyPixelSizes(*this);
}

TFBarra::~TFBarra() = default;

void TFBarra::start(const QString &title, const QString &question, int total)
{
    m_estimate.open(total);
    setWindowTitle(title);
    m_question = question;
    m_ui->Cancelar->setEnabled(!question.isEmpty());
    m_ui->P1->resize(0, m_ui->P1->height());
    centreOnScreen(*this);
    show();
    repaint();
    m_estimate.start();
}

bool TFBarra::step()
{
    if (isHidden())
        show();
    const auto drawing = m_estimate.step();
    if (!drawing)
        return true; // the bar did not move: no redraw, no events, Cancel not looked at
    raise();
    m_ui->Lab->setText(drawing->remaining);
    m_ui->P1->resize(drawing->width, m_ui->P1->height());
    m_ui->P1->repaint();
    m_ui->Lab->repaint();
    const QPointer<TFBarra> alive(this);
    QCoreApplication::processEvents();
    // Without a question the loop cannot be cancelled, whatever state the button is in. A
    // window closed while events ran has no loop left to stop.
    if (!alive || m_question.isEmpty() || !m_ui->Cancelar->isChecked())
        return true;
    const double asked = m_estimate.now();
    if (Confirmar(m_question))
        return false;
    if (!alive)
        return true;
    m_ui->Cancelar->setChecked(false);
    // The time spent on the question is not work time.
    m_estimate.discountSince(asked);
    return true;
}

void TFBarra::closeEvent(QCloseEvent *event)
{
    // Only the loop that opened the window closes it.
    event->ignore();
}

void AbrirBarra(const QString &title, const QString &question, int total)
{
    // A window left behind would have no one to close it.
    CerrarBarra();
    openBar = new TFBarra(barClock());
    openBar->start(title, question, total);
}

bool AvanzarBarra()
{
    if (!openBar || openBar->step())
        return true;
    CerrarBarra();
    return false;
}

void CerrarBarra()
{
    delete std::exchange(openBar, nullptr);
}

TFBarra *currentBarra()
{
    return openBar;
}

void setBarraClock(progress::Clock clock)
{
    barClock() = clock ? std::move(clock) : progress::timeOfDay;
}
