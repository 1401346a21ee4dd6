#include "tfplanrep.h"

#include "ui/appearance.h"
#include "ui/controlcolours.h"
#include "ui/screencentring.h"
#include "ui/messageboxes.h"
#include "ui/buttonpictures.h"
#include "ui/logoartwork.h"
#include "ui/tfbarra.h"
#include "catalogue/catalogue.h"
#include "widgets/cellgrid.h"

#include <QAbstractItemDelegate>
#include <QAbstractTableModel>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QScopedValueRollback>
#include <QScreen>
#include <QShowEvent>
#include <QToolButton>
#include <QVBoxLayout>

// The sheet's cells as the grid asks for them.
class SheetModel : public QAbstractTableModel
{
public:
    SheetModel(const worksheet::Sheet &sheet, QObject *parent) : QAbstractTableModel(parent), m_hoja(sheet) { }

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : m_hoja.rows() + 1; }
    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : m_hoja.symptoms() + 2;
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        return m_hoja.cellText(index.row(), index.column());
    }
    void cambio()
    {
        beginResetModel();
        endResetModel();
    }

private:
    const worksheet::Sheet &m_hoja;
};

namespace {

constexpr int kAnchoVentana = 1024;
constexpr int kAltoVentana = 664;
constexpr int kAltoBotonera = 45;
constexpr int kAltoTitulo = 31;
constexpr QSize kBoton{worksheet::kButtonWidth, 39};
constexpr QSize kDibujo{70, 35};

// Hands each cell to the window's drawing handler.
class Celda : public QAbstractItemDelegate
{
public:
    explicit Celda(TFPlanRep *ventana) : QAbstractItemDelegate(ventana), m_ventana(ventana) { }
    void paint(QPainter *p, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        m_ventana->GrDrawCell(*p, index.column(), index.row(), option.rect, index.data().toString());
    }
    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        return {worksheet::kColumnWidth, worksheet::kRowHeight};
    }

private:
    const TFPlanRep *m_ventana;
};

// The copy button's picture: the sheet, a small grid with marks, beside the copy sign.
QPixmap dibujoCopiar()
{
    QPixmap dibujo(kDibujo);
    dibujo.fill(Qt::transparent);
    QPainter p(&dibujo);
    p.setRenderHint(QPainter::Antialiasing);
    p.drawPixmap(4, 2, drawPicture(Picture::Copy, 31));
    const QRectF sheet(40, 6, 24, 24);
    p.setPen(QPen(QColor(90, 90, 90), 1));
    p.setBrush(Qt::white);
    p.drawRect(sheet);
    for (int i = 1; i < 3; ++i) {
        p.drawLine(QPointF(sheet.left() + i * 8, sheet.top()), QPointF(sheet.left() + i * 8, sheet.bottom()));
        p.drawLine(QPointF(sheet.left(), sheet.top() + i * 8), QPointF(sheet.right(), sheet.top() + i * 8));
    }
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(220, 0, 0));
    for (const QPointF celda : {QPointF(0, 0), QPointF(1, 1), QPointF(2, 0), QPointF(0, 2)})
        p.drawEllipse(QRectF(sheet.left() + celda.x() * 8 + 2, sheet.top() + celda.y() * 8 + 2, 4, 4));
    return dibujo;
}

// The close button's picture: the way out, centred.
QPixmap dibujoCerrar()
{
    QPixmap dibujo(kDibujo);
    dibujo.fill(Qt::transparent);
    QPainter p(&dibujo);
    p.drawPixmap((kDibujo.width() - 31) / 2, 2, drawPicture(Picture::Exit, 31));
    return dibujo;
}

QToolButton *botonConDibujo(QWidget *padre, const char *nombre, const QString &ayuda, const QPixmap &dibujo, int x)
{
    auto *b = new QToolButton(padre);
    b->setObjectName(QLatin1String(nombre));
    b->setToolTip(ayuda);
    b->setAccessibleName(ayuda);
    b->setIcon(QIcon(dibujo));
    b->setIconSize(kDibujo);
    b->setToolButtonStyle(Qt::ToolButtonIconOnly);
    b->setGeometry(QRect(QPoint(x, (kAltoBotonera - kBoton.height()) / 2), kBoton));
    return b;
}

QFont arial(int pixeles, bool negrita = false)
{
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(pixeles);
    f.setBold(negrita);
    return f;
}

} // namespace

TFPlanRep::TFPlanRep(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TFPlanRep"));
    setWindowTitle(QStringLiteral("Planilla de Repertorización"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                   | Qt::WindowCloseButtonHint);
    QFont interfaz(QStringLiteral("Verdana"));
    interfaz.setPixelSize(13);
    setFont(interfaz);

    m_modelo = new SheetModel(m_hoja, this);
    Gr = new CellGrid(this);
    Gr->setObjectName(QStringLiteral("Gr"));
    Gr->setItemDelegate(new Celda(this));
    Gr->setDefaultColumnWidth(worksheet::kColumnWidth);
    Gr->setRowHeight(worksheet::kRowHeight);
    Gr->setFixedRows(1);
    Gr->setFixedColumns(2);
    Gr->setModel(m_modelo);

    PanDer = new QWidget(this);
    PanDer->setObjectName(QStringLiteral("PanDer"));
    auto *derecha = new QVBoxLayout(PanDer);
    derecha->setContentsMargins(0, 0, 0, 0);
    derecha->setSpacing(0);

    Panel1 = new QFrame(PanDer);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setAutoFillBackground(true);
    Panel1->setFixedHeight(kAltoBotonera);
    Copiar = botonConDibujo(Panel1, "Copiar", QStringLiteral("Copiar la planilla"), dibujoCopiar(), 8);
    Cerrar = botonConDibujo(Panel1, "Cerrar", QStringLiteral("Cerrar"), dibujoCerrar(), 86);

    Panel6 = new QFrame(PanDer);
    Panel6->setObjectName(QStringLiteral("Panel6"));
    Panel6->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel6->setAutoFillBackground(true);
    Panel6->setFixedHeight(kAltoTitulo);
    auto *titulo = new QHBoxLayout(Panel6);
    titulo->setContentsMargins(0, 0, 0, 0);
    Lab4 = new QLabel(QStringLiteral("Referencias"), Panel6);
    Lab4->setObjectName(QStringLiteral("Lab4"));
    Lab4->setFont(arial(17, true));
    Lab4->setAlignment(Qt::AlignCenter);
    QPalette azul = Lab4->palette();
    azul.setColor(QPalette::WindowText, QColor(0, 0, 128));
    Lab4->setPalette(azul);
    titulo->addWidget(Lab4);

    LRef = new QListWidget(PanDer);
    LRef->setObjectName(QStringLiteral("LRef"));
    LRef->setFont(arial(13));

    derecha->addWidget(Panel1);
    derecha->addWidget(Panel6);
    derecha->addWidget(LRef, 1);

    auto *fila = new QHBoxLayout(this);
    fila->setContentsMargins(0, 0, 0, 0);
    fila->setSpacing(0);
    fila->addWidget(Gr, 1);
    fila->addWidget(PanDer);

    connect(Copiar, &QToolButton::clicked, this, &TFPlanRep::CopiarClick);
    connect(Cerrar, &QToolButton::clicked, this, &TFPlanRep::CerrarClick);

    resize(kAnchoVentana, kAltoVentana);
    centreOnScreen(*this);
}

TFPlanRep::~TFPlanRep() = default;

void TFPlanRep::setSheet(worksheet::Sheet sheet)
{
    m_hoja = std::move(sheet);
    LRef->clear();
    LRef->addItems(m_hoja.references);
    m_modelo->cambio();
}

void TFPlanRep::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TFPlanRep::FormShow()
{
    OrdenarPorPuntaje();
    AjustarColumnas();
    ColoresPlanilla();
    LetraPlanilla();
}

void TFPlanRep::OrdenarPorPuntaje()
{
    worksheet::OrdenarPorPuntaje(m_hoja);
    m_modelo->cambio();
}

void TFPlanRep::AjustarColumnas()
{
    QFont dibujo(QStringLiteral("Arial"));
    dibujo.setPointSize(11);
    Gr->setFont(dibujo);
    Gr->setColumnWidth(0, worksheet::widestText(m_hoja.names, dibujo) + worksheet::kNameMargin);
    std::vector<int> anchos;
    for (int c = 0; c < m_modelo->columnCount(); ++c)
        anchos.push_back(Gr->columnWidth(c));
    PanDer->setFixedWidth(worksheet::referencesWidth(width(), anchos));
}

void TFPlanRep::ColoresPlanilla()
{
    paintBackground(Panel1, QPalette::Window, ColorPanel(EsquemaColor, Panel1->palette().color(QPalette::Window)));
    const auto e = appearance::scheme(EsquemaColor);
    if (!e)
        return;
    paintBackground(Panel6, QPalette::Window, e->worksheet);
    paintBackground(LRef, QPalette::Base, e->datos);
    paintBackground(Gr, QPalette::Base, e->datos);
}

void TFPlanRep::LetraPlanilla()
{
    // Taken as it stands; a size of 0 (a settings file edited by hand) has no font.
    if (TamLetra == 0)
        return;
    QFont f = LRef->font();
    f.setPointSize(TamLetra);
    LRef->setFont(f);
}

void TFPlanRep::GrDrawCell(QPainter &p, int columna, int fila, const QRect &celda, const QString &t) const
{
    if (columna < 2 || fila == 0) {
        p.fillRect(celda, kActiveCaptionGradient);
        p.setClipRect(celda);
        p.setFont(Gr->font());
        p.setPen(palette().color(QPalette::Text));
        // Names start at the left; counts and symptom numbers are centred.
        const int x = columna == 0
                          ? celda.left() + 2
                          : celda.left() + (Gr->columnWidth(columna) - p.fontMetrics().horizontalAdvance(t)) / 2;
        p.drawText(QPoint(x, celda.top() + 2 + p.fontMetrics().ascent()), t);
        return;
    }
    if (t != QLatin1String("X"))
        return; // the grid's background shows
    const QColor plata(192, 192, 192);
    p.setPen(plata);
    p.setBrush(QColor(128, 128, 128));
    p.drawRect(celda.adjusted(0, 0, -1, -1));
    p.setBrush(QColor(255, 0, 0));
    p.setRenderHint(QPainter::Antialiasing);
    p.drawEllipse(QRectF(celda.left() + 5, celda.top() + 3, celda.width() - 10, celda.height() - 6));
}

void TFPlanRep::CopiarClick()
{
    QStringList referencias;
    for (int i = 0; i < LRef->count(); ++i)
        referencias << LRef->item(i)->text();
    QGuiApplication::clipboard()->setText(worksheet::copyText(referencias, m_hoja));
    Aviso(QStringLiteral("La planilla fue copiada al portapapeles"));
}

void TFPlanRep::CerrarClick()
{
    close();
}

namespace {

// After a build, finished or not, the link view follows the symptom list again and its
// controls show what it holds. A failure here must not hide the one that ended the build.
void devolverEnlaces(Catalogue &c) noexcept
{
    try {
        c.TRelS.setMasterSource(&c.SSint);
    } catch (...) {
    }
    try {
        c.TRelS.enableControls();
    } catch (...) {
    }
}

} // namespace

void PlanRepClick(Catalogue &c, const QString &campoNombre, QWidget *padre)
{
    static bool construyendo = false;
    if (construyendo)
        return;
    auto ventana = std::make_unique<TFPlanRep>(padre);
    bool completa = true;
    {
        const QScopedValueRollback<bool> marca(construyendo, true);
        c.TRelS.disableControls();
        try {
            worksheet::SheetReader lector(c, campoNombre);
            AbrirBarra(QStringLiteral("Procesando..."), QStringLiteral("Desea Cancelar ?"), lector.rowsToRead());
            for (int fila = 0; fila < lector.rowsToRead(); ++fila) {
                lector.readRow(fila);
                if (!AvanzarBarra()) {
                    completa = false;
                    break;
                }
            }
            CerrarBarra();
            ventana->setSheet(lector.takeSheet());
        } catch (...) {
            CerrarBarra();
            devolverEnlaces(c);
            throw;
        }
        devolverEnlaces(c);
    }
    if (completa)
        ventana->exec();
}
