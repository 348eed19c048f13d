// The entry point of the remote view's library: the server, its pages, the window with the QR
// codes and the command line, behind the interface the program knows.

#include "app/commandline.h"
#include "forms/remotewindow.h"
#include "platform/remoteserver.h"
#include "platform/remoteservice.h"

namespace {

class RemoteServiceImpl final : public RemoteService {
public:
    bool configure(const QStringList &arguments, QString *error) override
    {
        const RemoteOptions options = parseRemoteOptions(arguments);
        if (!options.error.isEmpty()) {
            if (error)
                *error = options.error;
            return false;
        }
        settings_ = options.settings.value_or(RemoteServer::Settings());
        return true;
    }
    bool start(QString *error) override { return server_.start(settings_, error); }
    void stop() override { server_.stop(); }
    bool isListening() const override { return server_.isListening(); }
    QString viewUrl() const override { return server_.viewUrl(); }
    QString controlUrl() const override { return server_.controlUrl(); }
    void publish(const RemoteSnapshot &snapshot) override { server_.publish(snapshot); }
    void onCommand(std::function<void(const QString &)> handler) override
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
    QMetaObject::Connection command_;
};

} // namespace

extern "C" Q_DECL_EXPORT RemoteService *podiumwatch_remote_service()
{
    return new RemoteServiceImpl;
}
