#include "tfbarra.h"

#include "messageboxes.h"
#include "screencentring.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <qdrawutil.h>

#include <utility>

namespace {

TFBarra *barra = nullptr;
progress::Clock &relojDeBarra()
{
    static progress::Clock reloj = progress::timeOfDay;
    return reloj;
}

constexpr int kAncho = 510;
constexpr int kAltoBarra = 53;
constexpr int kAltoBotones = 56;
constexpr int kBorde = 8;

// A panel with a raised edge, a border and a lowered bevel inside it.
class PanelBiselado : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        qDrawShadeRect(&p, rect(), palette(), false, 1);
        qDrawShadeRect(&p, rect().adjusted(1 + kBorde, 1 + kBorde, -1 - kBorde, -1 - kBorde), palette(), true, 1);
    }
};

// The bar's black frame, sunk by two pixels, with the percentage scale written across it.
class MarcoBarra : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        const QBrush negro(Qt::black);
        qDrawShadePanel(&p, rect(), palette(), true, 2, &negro);
        QFont letra(QStringLiteral("Arial"));
        letra.setPixelSize(11); // 8 points at the 96 pixels per inch the window is laid out in
        p.setFont(letra);
        p.setPen(QColor(192, 192, 192));
        p.drawText(rect(), Qt::AlignCenter, progress::scale());
    }
};

QLabel *cajaHundida(QWidget *padre, const char *nombre, const QRect &lugar)
{
    auto *caja = new QLabel(padre);
    caja->setObjectName(QLatin1String(nombre));
    caja->setGeometry(lugar);
    caja->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    caja->setAlignment(Qt::AlignCenter);
    QFont letra(QStringLiteral("Arial"));
    letra.setPixelSize(16);
    letra.setBold(true);
    caja->setFont(letra);
    return caja;
}

} // namespace

TFBarra::TFBarra(progress::Clock reloj) : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
                                          estimate(std::move(reloj))
{
    setObjectName(QStringLiteral("TFBarra"));
    setWindowModality(Qt::ApplicationModal);
    setFixedSize(kAncho, kAltoBarra + kAltoBotones);

    Panel2 = new PanelBiselado(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setGeometry(0, 0, kAncho, kAltoBarra);

    P0 = new MarcoBarra(Panel2);
    P0->setObjectName(QStringLiteral("P0"));
    P0->setGeometry(16, 15, 475, 20);

    P1 = new QLabel(P0);
    P1->setObjectName(QStringLiteral("P1"));
    P1->setAutoFillBackground(true);
    QPalette lima = P1->palette();
    lima.setColor(QPalette::Window, QColor(0, 255, 0));
    P1->setPalette(lima);
    P1->setGeometry(2, 2, 0, 16);

    Panel1 = new PanelBiselado(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, kAltoBarra, kAncho, kAltoBotones);

    StaticText1 = cajaHundida(Panel1, "StaticText1", {16, 16, 225, 23});
    StaticText1->setText(QStringLiteral("Tiempo restante estimado:"));
    Lab = cajaHundida(Panel1, "Lab", {248, 16, 85, 23});

    Cancelar = new QPushButton(QStringLiteral("Cancelar"), Panel1);
    Cancelar->setObjectName(QStringLiteral("Cancelar"));
    Cancelar->setCheckable(true);
    Cancelar->setGeometry(404, 16, 85, 23);
}

void TFBarra::closeEvent(QCloseEvent *event)
{
    // Only the loop that opened the window closes it.
    event->ignore();
}

void AbrirBarra(const QString &titulo, const QString &question, int total)
{
    // A window left behind would have no one to close it.
    CerrarBarra();
    barra = new TFBarra(relojDeBarra());
    barra->estimate.open(total);
    barra->setWindowTitle(titulo);
    barra->question = question;
    barra->Cancelar->setEnabled(!question.isEmpty());
    barra->P1->resize(0, barra->P1->height());
    centreOnScreen(*barra);
    barra->show();
    barra->repaint();
    barra->estimate.start();
}

bool AvanzarBarra()
{
    TFBarra *b = barra;
    if (!b)
        return true;
    if (b->isHidden())
        b->show();
    const auto dibujo = b->estimate.step();
    if (!dibujo)
        return true; // the bar did not move: no redraw, no events, Cancel not looked at
    b->raise();
    b->Lab->setText(dibujo->remaining);
    b->P1->resize(dibujo->width, b->P1->height());
    b->P1->repaint();
    b->Lab->repaint();
    QCoreApplication::processEvents();
    // Without a question the loop cannot be cancelled, whatever state the button is in.
    if (barra != b || b->question.isEmpty() || !b->Cancelar->isChecked())
        return true;
    const double t0 = b->estimate.now();
    if (Confirmar(b->question)) {
        CerrarBarra();
        return false;
    }
    b->Cancelar->setChecked(false);
    // The time spent on the question is not work time.
    b->estimate.discountSince(t0);
    return true;
}

void CerrarBarra()
{
    delete std::exchange(barra, nullptr);
}

TFBarra *currentBarra()
{
    return barra;
}

void setBarraClock(progress::Clock reloj)
{
    relojDeBarra() = reloj ? std::move(reloj) : progress::timeOfDay;
}
