#pragma once

#include <QImage>
#include <QWidget>

// The two addresses of the running remote server, each as text to copy and as a QR code for a
// phone's camera. Closing the window leaves the server running; its button stops it.
class RemoteWindow : public QWidget {
    Q_OBJECT
public:
    RemoteWindow(const QString &viewUrl, const QString &controlUrl, QWidget *parent = nullptr);

    // One pixel per module, dark on white, with the four-module quiet zone a reader needs around
    // it. A null image when the text does not fit in a QR code.
    static QImage qrCode(const QString &text);

signals:
    void stopRequested();
};
