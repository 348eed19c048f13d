#include "remote/remotewindow.h"

#include <QGridLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>
#include <qrencode.h>

namespace {

constexpr int QuietZone = 4;    // modules of white around the code
constexpr int ModulePixels = 5; // large enough for a phone held at arm's length from the screen

QWidget *addressColumn(const QString &caption, const QString &url, const QString &warning, QWidget *parent)
{
    auto *column = new QWidget(parent);
    auto *layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);

    auto *title = new QLabel(caption, column);
    QFont bold = title->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    title->setFont(bold);
    title->setAlignment(Qt::AlignHCenter);
    layout->addWidget(title);

    auto *code = new QLabel(column);
    code->setObjectName(caption + QStringLiteral("QR"));
    const QImage image = RemoteWindow::qrCode(url);
    if (!image.isNull()) {
        // Scaled without smoothing, so every module stays a sharp square.
        code->setPixmap(QPixmap::fromImage(
            image.scaled(image.size() * ModulePixels, Qt::IgnoreAspectRatio, Qt::FastTransformation)));
    }
    code->setAlignment(Qt::AlignHCenter);
    layout->addWidget(code);

    auto *address = new QLabel(url, column);
    address->setObjectName(caption + QStringLiteral("URL"));
    address->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    address->setAlignment(Qt::AlignHCenter);
    layout->addWidget(address);

    auto *note = new QLabel(warning, column);
    note->setWordWrap(true);
    note->setAlignment(Qt::AlignHCenter);
    layout->addWidget(note);
    layout->addStretch();
    return column;
}

} // namespace

RemoteWindow::RemoteWindow(const QString &viewUrl, const QString &controlUrl, QWidget *parent)
    : QWidget(parent)
{
    setWindowFlag(Qt::Window);
    setObjectName(QStringLiteral("RemoteWindow"));
    setWindowTitle(QStringLiteral("リモート表示"));

    auto *layout = new QVBoxLayout(this);
    auto *intro = new QLabel(
        QStringLiteral(
            "同じネットワークにある端末のブラウザーで、アドレスを開くか QR コードを読み取ってください。"),
        this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    auto *columns = new QGridLayout;
    columns->setHorizontalSpacing(24);
    columns->addWidget(
        addressColumn(QStringLiteral("閲覧用"), viewUrl,
                      QStringLiteral("このアドレスを知っている人は誰でも、タイマーを見ることができます。"),
                      this),
        0, 0);
    columns->addWidget(
        addressColumn(QStringLiteral("操作用"), controlUrl,
                      QStringLiteral("このアドレスを知っている人は誰でも、タイマーを操作できます。"), this),
        0, 1);
    layout->addLayout(columns);

    auto *stop = new QPushButton(QStringLiteral("停止"), this);
    stop->setObjectName(QStringLiteral("stop"));
    stop->setToolTip(QStringLiteral("サーバーを止めます。どちらのアドレスも使えなくなります。"));
    connect(stop, &QPushButton::clicked, this, &RemoteWindow::stopRequested);
    layout->addWidget(stop, 0, Qt::AlignRight);
}

QImage RemoteWindow::qrCode(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    const std::unique_ptr<QRcode, decltype(&QRcode_free)> code(
        QRcode_encodeString(utf8.constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1), &QRcode_free);
    if (!code)
        return {};
    const int modules = code->width;
    QImage image(modules + 2 * QuietZone, modules + 2 * QuietZone, QImage::Format_Grayscale8);
    image.fill(255);
    for (int y = 0; y < modules; ++y) {
        uchar *row = image.scanLine(y + QuietZone);
        for (int x = 0; x < modules; ++x) {
            // The lowest bit of each byte is the module's colour: 1 dark.
            if (code->data[y * modules + x] & 1)
                row[x + QuietZone] = 0;
        }
    }
    return image;
}
