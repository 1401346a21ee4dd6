#include "flowerphoto.h"

#include "picturefile.h"

#include "store/datasource.h"
#include "store/error.h"
#include "store/view.h"
#include "ui/application.h"
#include "ui/messageboxes.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>

namespace {

const QString kFoto = QStringLiteral("Foto");

// The wait cursor while a picture is decoded and stored.
class BusyCursor
{
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

} // namespace

FlowerPhoto::FlowerPhoto(const Controls &controls, store::DataSource &SFlores, QObject *parent)
    : QObject(parent), m_ui(controls), m_source(SFlores)
{
    m_decoder.setMaxThreadCount(1);
    // "Ajustado" at every start, whatever was chosen before.
    if (QAbstractButton *stretched = m_ui.Ajuste->button(photo::kStretched))
        stretched->setChecked(true);
    m_ui.DBImage1->installEventFilter(this);
    m_viewport = m_ui.ScrBox->viewport();
    m_viewport->installEventFilter(this);

    connect(m_ui.Ajuste, &QButtonGroup::idClicked, this, &FlowerPhoto::AjusteClick);
    connect(m_ui.Leer, &QAbstractButton::clicked, this, &FlowerPhoto::LeerClick);
    connect(m_ui.Pegar, &QAbstractButton::clicked, this, &FlowerPhoto::PegarClick);
    connect(m_ui.Copiar, &QAbstractButton::clicked, this, &FlowerPhoto::CopiarClick);
    connect(m_ui.Borrar, &QAbstractButton::clicked, this, &FlowerPhoto::BorrarClick);
    for (auto signal : {&store::DataSource::currentChanged, &store::DataSource::layoutChanged,
                        &store::DataSource::stateChanged})
        connect(&m_source, signal, this, &FlowerPhoto::markStale);
    // While the flower is being edited only this controller changes its photo, and the values
    // change with every key typed into a name: the photo is read again when the row is stored.
    connect(&m_source, &store::DataSource::valuesChanged, this, [this] {
        const store::State state = flowers().state();
        if (state != store::State::Edit && state != store::State::Insert)
            markStale();
    });
    placeImage();
}

FlowerPhoto::~FlowerPhoto()
{
    // A decoding under way reports to this object: it ends first.
    m_decoder.waitForDone();
}

store::View &FlowerPhoto::flowers() const
{
    return *m_source.view();
}

// ---- the photo shown ----

void FlowerPhoto::markStale()
{
    m_stale = true;
    // Whatever moved the row, the photo follows once the change is through; AjustarFoto
    // catches up at once when it comes first.
    if (!m_refreshQueued) {
        m_refreshQueued = true;
        QMetaObject::invokeMethod(this, [this] {
            m_refreshQueued = false;
            followRow();
        }, Qt::QueuedConnection);
    }
}

void FlowerPhoto::followRow()
{
    if (!m_stale)
        return;
    m_stale = false;
    QByteArray bytes;
    try {
        if (flowers().state() != store::State::Inactive)
            bytes = flowers().asBytes(kFoto);
    } catch (const std::exception &) {
        // A photo that cannot be read shows as none.
    }
    showBytes(bytes);
}

void FlowerPhoto::showBytes(const QByteArray &bytes)
{
    if (bytes == m_bytes)
        return;
    m_bytes = bytes;
    m_stored = photo::peekPhoto(bytes);
    m_whole = QImage();
    m_fitted = QImage();
    m_wholeFailed = false;
    ++m_ticket;
    // Without a shrunk copy (a small photo, or one stored by another program) the whole photo
    // is all there is to paint from.
    if (m_stored.size.isValid() && m_stored.preview.isNull()) {
        m_whole = photo::decodePhoto(bytes);
        if (m_whole.isNull())
            m_stored = {};
    }
    m_ui.DBImage1->update();
}

QSize FlowerPhoto::pictureSize() const
{
    return m_stored.size;
}

QImage FlowerPhoto::wholePicture()
{
    followRow();
    if (m_whole.isNull() && m_stored.size.isValid())
        m_whole = photo::decodePhoto(m_bytes);
    return m_whole;
}

void FlowerPhoto::finishDecoding()
{
    m_decoder.waitForDone();
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

void FlowerPhoto::wantWholePicture()
{
    if (!m_whole.isNull() || m_wholeFailed || m_decoding || m_bytes.isEmpty())
        return;
    m_decoding = true;
    const quint64 ticket = m_ticket;
    const QByteArray bytes = m_bytes;
    m_decoder.start([this, ticket, bytes] {
        const QImage whole = photo::decodePhoto(bytes);
        QMetaObject::invokeMethod(this, [this, ticket, whole] { wholePictureDecoded(ticket, whole); },
                                  Qt::QueuedConnection);
    });
}

void FlowerPhoto::wholePictureDecoded(quint64 ticket, const QImage &picture)
{
    m_decoding = false;
    if (ticket == m_ticket && m_whole.isNull()) {
        m_whole = picture;
        m_wholeFailed = picture.isNull();
        m_fitted = QImage();
    }
    // Painted again: with the whole photo now, or, when the flower changed meanwhile, to ask
    // for the photo shown now.
    m_ui.DBImage1->update();
}

// ---- layout and painting ----

void FlowerPhoto::AjustarFoto()
{
    followRow();
    m_layout = photo::fitPhoto(m_layout, pictureSize(), m_ui.ScrBox->size(), m_ui.Ajuste->checkedId());
    placeImage();
}

void FlowerPhoto::AjusteClick()
{
    AjustarFoto();
}

void FlowerPhoto::placeImage()
{
    QScrollArea *box = m_ui.ScrBox;
    QLabel *image = m_ui.DBImage1;
    box->setHorizontalScrollBarPolicy(m_layout.horizontalRange > 0 ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    box->setVerticalScrollBarPolicy(m_layout.verticalRange > 0 ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    const QSize room = box->viewport()->size();
    switch (m_layout.alignment) {
    case photo::Alignment::Client:
        box->setWidgetResizable(true);
        break;
    case photo::Alignment::Top:
        box->setWidgetResizable(false);
        image->setGeometry(0, 0, room.width(), m_layout.height);
        break;
    case photo::Alignment::Left:
        box->setWidgetResizable(false);
        image->setGeometry(0, 0, m_layout.width, room.height());
        break;
    case photo::Alignment::None:
        box->setWidgetResizable(false);
        image->resize(m_layout.width, m_layout.height);
        break;
    }
    image->update();
}

bool FlowerPhoto::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui.DBImage1 && event->type() == QEvent::Paint) {
        paintImage(*static_cast<QPaintEvent *>(event));
        return true;
    }
    // Along the top or the left the photo keeps the box's width or height as the box changes.
    // The viewport is compared by its remembered address: during the window's teardown the box is
    // no longer a scroll area and must not be asked for it.
    if (watched == m_viewport && event->type() == QEvent::Resize
        && (m_layout.alignment == photo::Alignment::Top || m_layout.alignment == photo::Alignment::Left))
        placeImage();
    return QObject::eventFilter(watched, event);
}

void FlowerPhoto::paintImage(const QPaintEvent &event)
{
    followRow();
    if (!pictureSize().isValid())
        return;
    QLabel *image = m_ui.DBImage1;
    QPainter painter(image);
    if (m_layout.stretch) {
        const qreal ratio = image->devicePixelRatioF();
        const QSize target = (QSizeF(image->size()) * ratio).toSize();
        if (target.isEmpty())
            return;
        painter.drawImage(QPointF(0, 0), fittedPicture(target));
        return;
    }
    // At its own size from the top left corner, only the part in sight.
    if (!m_whole.isNull()) {
        const QRect part = event.rect() & m_whole.rect();
        painter.drawImage(part.topLeft(), m_whole, part);
        return;
    }
    // Until the whole photo is decoded, its shrunk copy stands in, drawn up to size.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(QPoint(0, 0), pictureSize()), m_stored.preview);
    wantWholePicture();
}

const QImage &FlowerPhoto::fittedPicture(QSize target)
{
    const QImage &preview = m_stored.preview;
    const bool previewEnough =
        !preview.isNull() && target.width() <= preview.width() && target.height() <= preview.height();
    const bool fromWhole = !previewEnough && !m_whole.isNull();
    if (!previewEnough && !fromWhole)
        wantWholePicture();
    if (m_fitted.isNull() || m_fittedSize != target || m_fittedFromWhole != fromWhole) {
        const QImage &source = fromWhole || preview.isNull() ? m_whole : preview;
        m_fitted = source.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_fitted.setDevicePixelRatio(m_ui.DBImage1->devicePixelRatioF());
        m_fittedSize = target;
        m_fittedFromWhole = fromWhole;
    }
    return m_fitted;
}

// ---- changing the photo ----

bool FlowerPhoto::hasPhoto() const
{
    return !flowers().isNull(kFoto);
}

void FlowerPhoto::storePicture(const QImage &bitmap)
{
    QByteArray bytes;
    {
        BusyCursor busy;
        bytes = photo::encodePhoto(bitmap);
    }
    if (bytes.isEmpty())
        throw store::Error(QStringLiteral("No hay memoria para guardar la foto; la foto de la flor no cambió"));
    flowers().setValue(kFoto, bytes);
    // Shown at once from what is at hand, without reading back what was just written.
    m_bytes = bytes;
    m_stored = photo::peekPhoto(bytes);
    m_whole = bitmap;
    m_wholeFailed = false;
    m_fitted = QImage();
    ++m_ticket;
    m_ui.DBImage1->update();
}

void FlowerPhoto::LeerClick()
{
    const std::optional<PictureDialog::Choice> choice = m_OpenPic.execute(m_ui.DBImage1->window());
    if (!choice)
        return;
    try {
        if (hasPhoto() && !Confirmar(QStringLiteral("Desea reemplazar esta imagen ?")))
            return;
        const bool jpeg = choice->filter == PictureDialog::kJpegFilter;
        photo::PictureLoad load;
        {
            BusyCursor busy;
            load = jpeg ? photo::CargarJpeg(choice->path) : photo::loadPictureFile(choice->path);
        }
        if (!load.error.isEmpty()) {
            showError(load.error);
            return;
        }
        if (!load.notice.isEmpty()) {
            Aviso(load.notice);
            // A JPEG that could not be taken leaves the photo as it was and the flower is still
            // stored; any other picture stops here.
            if (!jpeg)
                return;
        }
        flowers().edit();
        if (load.ok()) {
            storePicture(load.image);
            if (jpeg)
                QGuiApplication::clipboard()->setImage(load.image);
        }
        flowers().post();
        AjustarFoto();
    } catch (const std::exception &error) {
        showError(store::errorText(error));
    }
}

void FlowerPhoto::PegarClick()
{
    try {
        if (hasPhoto() && !Confirmar(QStringLiteral("Desea reemplazar esta imagen ?")))
            return;
        flowers().edit();
        // Only a picture changes the photo; text or anything else on the clipboard is passed over.
        const QMimeData *held = QGuiApplication::clipboard()->mimeData();
        if (held && held->hasImage()) {
            const QImage pasted = photo::toBitmap(QGuiApplication::clipboard()->image());
            if (photo::sizeAllowed(pasted.size()))
                storePicture(pasted);
            else if (!pasted.isNull())
                Aviso(photo::tooLargeNotice(pasted.size()));
        }
        flowers().post();
        AjustarFoto();
    } catch (const std::exception &error) {
        showError(store::errorText(error));
    }
}

void FlowerPhoto::CopiarClick()
{
    followRow();
    if (!pictureSize().isValid())
        return;
    const QImage whole = wholePicture();
    if (!whole.isNull())
        QGuiApplication::clipboard()->setImage(whole);
}

void FlowerPhoto::BorrarClick()
{
    if (!Confirmar(QStringLiteral("Desea eliminar esta imagen ?")))
        return;
    try {
        flowers().edit();
        flowers().setValue(kFoto, QVariant());
        flowers().post();
    } catch (const std::exception &error) {
        showError(store::errorText(error));
    }
}
