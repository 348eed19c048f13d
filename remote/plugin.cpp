// The entry point of the remote view's library: the server, its pages and the window with the QR
// codes, behind the interface the program knows.

#include "remote/remoteserver.h"
#include "remote/remoteservice.h"
#include "remote/remotewindow.h"

namespace {

class RemoteServiceImpl final : public RemoteService {
public:
    bool configure(const RemoteOptions &options, QString *error) override
    {
        RemoteServer::Settings settings;
        settings.port = options.port;
        if (!options.bind.isEmpty() && !settings.bind.setAddress(options.bind)) {
            if (error)
                *error =
                    QStringLiteral("podiumwatch: invalid address \"%1\" in --remote-bind (an IPv4 or IPv6 "
                                   "address, such as 192.168.1.10 or ::1)")
                        .arg(options.bind);
            return false;
        }
        settings_ = settings;
        return true;
    }
    void start() override { server_.start(settings_); }
    void stop() override { server_.stop(); }
    bool isListening() const override { return server_.isListening(); }
    QString viewUrl() const override { return server_.viewUrl(); }
    QString controlUrl() const override { return server_.controlUrl(); }
    void publish(const RemoteSnapshot &snapshot) override { server_.publish(snapshot); }
    void onStarted(std::function<void(const QString &)> handler) override
    {
        QObject::disconnect(started_);
        QObject::disconnect(failed_);
        started_ = QObject::connect(&server_, &RemoteServer::started, &server_, [handler] { handler({}); });
        failed_ = QObject::connect(&server_, &RemoteServer::failed, &server_, handler);
    }
    void onCommand(std::function<void(const RemoteCommand &)> handler) override
    {
        QObject::disconnect(command_);
        command_ = QObject::connect(&server_, &RemoteServer::commandRequested, &server_, std::move(handler));
    }
    QWidget *createAddressWindow(std::function<void()> onStop) override
    {
        auto *window = new RemoteWindow(server_.viewUrl(), server_.controlUrl());
        QObject::connect(window, &RemoteWindow::stopRequested, window, std::move(onStop));
        return window;
    }

private:
    RemoteServer server_;
    RemoteServer::Settings settings_;
    QMetaObject::Connection started_, failed_, command_;
};

} // namespace

extern "C" Q_DECL_EXPORT RemoteService *podiumwatch_remote_service()
{
    return new RemoteServiceImpl;
}
