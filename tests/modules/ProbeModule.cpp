#include "ProbeModule.h"

#include "net/Client.h"
#include "net/Transfers.h"
#include "ui/Skin.h"

namespace probe {

void ProbeModule::RegisterPictures(ui::Skin& skin) {
    skin.RegisterBackground(QStringLiteral("IDB_PROBE"), QSize(200, 120), QStringLiteral("Probe"));
}

void ProbeModule::Register(shell::ModuleContext& ctx) {
    ctx_ = &ctx;
    ctx.Publish<IProbe>(*this);

    ctx.RegisterFamily(kFamily, [this](net::Connection& c, const net::bufHeader& h, net::LogLine& log) {
        net::MessageReader reader(c.ReceiveBuffer(), h);
        int32_t value = 0;
        if (reader.Code() != kAnswer || !reader.Int(-1, -1, value)) {
            log.Write("MsgProbe.HandleMsg(1): Unable to decode answer");
            return;
        }
        ++answers_;
        events << QStringLiteral("answer %1").arg(value);
    });

    const int slot = net::transferslot::ForDownload(kDownloadCode);
    net::SlotHooks hooks;
    hooks.completed = [this](uint32_t purpose) {
        events << QStringLiteral("download complete %1").arg(purpose);
    };
    ctx.RegisterSlot(slot, hooks);

    ctx.AddOpeningRequest([](net::Client& client) {
        return client.FileServer().Send(net::MessageWriter(kAsk).Int(7), kFamily);
    });

    ctx.SetTool(shell::Tool::Whiteboard, [this, slot] {
        net::Client& client = ctx_->Client();
        downloadPath_ = net::PrepareTransferFile(client.DataDirectory(), "files/remote/probe/probe");
        events << "tool";
        net::StartDownload(client.FileServer(), slot, downloadPath_, 5, {});
    });

    ctx.AddPeriodicRefresh([this] { events << "refresh"; });

    window_ = new QDialog(ctx.WindowParent());
    ctx.HideOnDrop(window_);
}

}  // namespace probe
