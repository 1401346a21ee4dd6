#include "tfplanrep.h"
#include "ui_tfplanrep.h"

#include "worksheetprint.h"

#include "ui/appearance.h"
#include "ui/buttonpictures.h"
#include "ui/controlcolours.h"
#include "ui/documentprinter.h"
#include "ui/logoartwork.h"
#include "ui/messageboxes.h"
#include "ui/pixelfonts.h"
#include "ui/screencentring.h"
#include "ui/tfbarra.h"
#include "catalogue/catalogue.h"

#include <QAbstractItemDelegate>
#include <QAbstractTableModel>
#include <QClipboard>
#include <QGuiApplication>
#include <QPainter>
#include <QScopedValueRollback>
#include <QShowEvent>

// The sheet's cells as the grid asks for them.
class SheetModel : public QAbstractTableModel
{
public:
    SheetModel(const worksheet::Sheet &sheet, QObject *parent) : QAbstractTableModel(parent), m_sheet(sheet) { }

    int rowCount(const QModelIndex &parent = {}) const override { return parent.isValid() ? 0 : m_sheet.rows() + 1; }
    int columnCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : m_sheet.symptoms() + 2;
    }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole || !index.isValid())
            return {};
        return m_sheet.cellText(index.row(), index.column());
    }
    // The sheet changed as a whole.
    void refresh()
    {
        beginResetModel();
        endResetModel();
    }

private:
    const worksheet::Sheet &m_sheet;
};

namespace {

constexpr QSize kPictureSize{70, 35};
constexpr QSize kNarrowPictureSize{50, 35};
constexpr int kSignSize = 31; // the copy, print and exit signs drawn on the pictures

// Hands each cell to the window's drawing handler.
class CellPainter : public QAbstractItemDelegate
{
public:
    explicit CellPainter(TFPlanRep *window) : QAbstractItemDelegate(window), m_window(window) { }
    void paint(QPainter *p, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        m_window->GrDrawCell(*p, index.column(), index.row(), option.rect, index.data().toString());
    }
    QSize sizeHint(const QStyleOptionViewItem &, const QModelIndex &) const override
    {
        return {worksheet::kColumnWidth, worksheet::kRowHeight};
    }

private:
    const TFPlanRep *m_window;
};

// The copy button's picture: the sheet, a small grid with marks, beside the copy sign.
QPixmap copyPicture()
{
    QPixmap picture(kPictureSize);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.drawPixmap(4, 2, drawPicture(Picture::Copy, kSignSize));
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
    for (const QPointF cell : {QPointF(0, 0), QPointF(1, 1), QPointF(2, 0), QPointF(0, 2)})
        p.drawEllipse(QRectF(sheet.left() + cell.x() * 8 + 2, sheet.top() + cell.y() * 8 + 2, 4, 4));
    return picture;
}

// A sign centred on a button's picture: the way out on the close button, the printer on the
// print button.
QPixmap centredPicture(Picture sign, QSize size)
{
    QPixmap picture(size);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.drawPixmap((size.width() - kSignSize) / 2, 2, drawPicture(sign, kSignSize));
    return picture;
}

} // namespace

TFPlanRep::TFPlanRep(QWidget *parent) : QDialog(parent), m_ui(std::make_unique<Ui::TFPlanRep>())
{
    m_ui->setupUi(this);
    applyPixelSizes(*this);
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint
                   | Qt::WindowCloseButtonHint);

    m_model = new SheetModel(m_sheet, this);
    CellGrid *grid = m_ui->Gr;
    grid->setItemDelegate(new CellPainter(this));
    grid->setDefaultColumnWidth(worksheet::kColumnWidth);
    grid->setRowHeight(worksheet::kRowHeight);
    grid->setFixedRows(1);
    grid->setFixedColumns(2);
    grid->setModel(m_model);

    m_ui->Copiar->setIcon(QIcon(copyPicture()));
    m_ui->Cerrar->setIcon(QIcon(centredPicture(Picture::Exit, kPictureSize)));
    m_ui->printSheet->setIcon(QIcon(centredPicture(Picture::Print, kNarrowPictureSize)));
    connect(m_ui->Copiar, &QToolButton::clicked, this, &TFPlanRep::CopiarClick);
    connect(m_ui->printSheet, &QToolButton::clicked, this, &TFPlanRep::printClick);
    connect(m_ui->Cerrar, &QToolButton::clicked, this, &TFPlanRep::CerrarClick);

    centreOnScreen(*this);
}

TFPlanRep::~TFPlanRep() = default;

void TFPlanRep::setSheet(worksheet::Sheet sheet)
{
    m_sheet = std::move(sheet);
    m_ui->LRef->clear();
    m_ui->LRef->addItems(m_sheet.references);
    m_model->refresh();
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
    worksheet::OrdenarPorPuntaje(m_sheet);
    m_model->refresh();
}

void TFPlanRep::AjustarColumnas()
{
    QFont font(QStringLiteral("Arial"));
    font.setPointSize(11);
    m_ui->Gr->setFont(font);
    m_ui->Gr->setColumnWidth(0, worksheet::widestText(m_sheet.names, font) + worksheet::kNameMargin);
    std::vector<int> widths;
    for (int c = 0; c < m_model->columnCount(); ++c)
        widths.push_back(m_ui->Gr->columnWidth(c));
    m_ui->PanDer->setFixedWidth(worksheet::referencesWidth(width(), widths));
}

void TFPlanRep::ColoresPlanilla()
{
    paintBackground(m_ui->Panel1, QPalette::Window,
                    ColorPanel(EsquemaColor, m_ui->Panel1->palette().color(QPalette::Window)));
    const auto scheme = appearance::scheme(EsquemaColor);
    if (!scheme)
        return;
    paintBackground(m_ui->Panel6, QPalette::Window, scheme->worksheet);
    paintBackground(m_ui->LRef, QPalette::Base, scheme->data);
    paintBackground(m_ui->Gr, QPalette::Base, scheme->data);
}

void TFPlanRep::LetraPlanilla()
{
    // Taken as it stands; a size of 0 (a settings file edited by hand) has no font.
    if (TamLetra == 0)
        return;
    QFont font = m_ui->LRef->font();
    font.setPointSize(TamLetra);
    m_ui->LRef->setFont(font);
}

void TFPlanRep::GrDrawCell(QPainter &p, int column, int row, const QRect &cell, const QString &t) const
{
    if (column < 2 || row == 0) {
        p.fillRect(cell, kActiveCaptionGradient);
        p.setClipRect(cell);
        p.setFont(m_ui->Gr->font());
        p.setPen(palette().color(QPalette::Text));
        // Names start at the left; counts and symptom numbers are centred.
        const int x = column == 0
                          ? cell.left() + 2
                          : cell.left() + (m_ui->Gr->columnWidth(column) - p.fontMetrics().horizontalAdvance(t)) / 2;
        p.drawText(QPoint(x, cell.top() + 2 + p.fontMetrics().ascent()), t);
        return;
    }
    if (t != QLatin1String("X"))
        return; // the grid's background shows
    p.setPen(QColor(192, 192, 192));
    p.setBrush(QColor(128, 128, 128));
    p.drawRect(cell.adjusted(0, 0, -1, -1));
    p.setBrush(QColor(255, 0, 0));
    p.setRenderHint(QPainter::Antialiasing);
    p.drawEllipse(QRectF(cell.left() + 5, cell.top() + 3, cell.width() - 10, cell.height() - 6));
}

void TFPlanRep::CopiarClick()
{
    QStringList references;
    for (int i = 0; i < m_ui->LRef->count(); ++i)
        references << m_ui->LRef->item(i)->text();
    QGuiApplication::clipboard()->setText(worksheet::copyText(references, m_sheet));
    Aviso(QStringLiteral("La planilla fue copiada al portapapeles"));
}

void TFPlanRep::printClick()
{
    const QString title = windowTitle();
    const QDate today = QDate::currentDate();
    PrintRequest offered;
    offered.patient = m_patient;
    offered.paper = usualPaper();
    // A sheet is wider than it is long as soon as the case has a few symptoms.
    offered.orientation = QPageLayout::Landscape;
    printDocument(this, title, offered, [&](QPagedPaintDevice &device, const QString &name) {
        return worksheet::printSheet(device, m_sheet, {title, today, name});
    });
}

void TFPlanRep::CerrarClick()
{
    close();
}

namespace {

// After a build, finished or not, the link view follows the symptom list again and its
// controls show what it holds. A failure here must not hide the one that ended the build.
void restoreLinks(Catalogue &c) noexcept
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

void PlanRepClick(Catalogue &c, const QString &nameField, QWidget *parent, const QString &patient)
{
    static bool building = false;
    if (building)
        return;
    auto window = std::make_unique<TFPlanRep>(parent);
    bool complete = true;
    {
        const QScopedValueRollback<bool> mark(building, true);
        c.TRelS.disableControls();
        try {
            worksheet::SheetReader reader(c, nameField);
            AbrirBarra(QStringLiteral("Procesando..."), QStringLiteral("Desea Cancelar ?"), reader.rowsToRead());
            for (int row = 0; row < reader.rowsToRead(); ++row) {
                reader.readRow(row);
                if (!AvanzarBarra()) {
                    complete = false;
                    break;
                }
            }
            CerrarBarra();
            window->setSheet(reader.takeSheet());
        } catch (...) {
            CerrarBarra();
            restoreLinks(c);
            throw;
        }
        restoreLinks(c);
    }
    window->setPatient(patient);
    if (complete)
        window->exec();
}
