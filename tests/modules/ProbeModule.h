#pragma once

// A module that exists only in the tests: it registers one of everything a
// module can register, through the ModuleContext alone, and records each
// hook as it fires. It proves that a subsystem lands without touching any
// shared file: the tests add it to the composition's module list.

#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <string>

#include "shell/Module.h"
#include "shell/ModuleContext.h"

namespace probe {

// The request and response codes of the probe's family, and its download.
inline constexpr int32_t kAsk = 42;
inline constexpr int32_t kAnswer = 43;
inline constexpr int32_t kDownloadCode = 1;  // its slot is transferslot::ForDownload(1)
inline constexpr net::Primary kFamily = net::Primary::Notepad;

// What one module offers another: published by ProbeModule, found by
// ProbeConsumer.
class IProbe {
  public:
    virtual ~IProbe() = default;
    virtual int Answers() const = 0;
};

class ProbeModule final : public shell::Module, public IProbe {
  public:
    const char* Name() const override { return "probe"; }
    void RegisterPictures(ui::Skin& skin) override;
    void Register(shell::ModuleContext& ctx) override;
    void LoggedIn() override { events << "logged in"; }
    void LoggedOut() override { events << "logged out"; }

    int Answers() const override { return answers_; }
    std::string DownloadPath() const { return downloadPath_; }
    QDialog* Window() const { return window_; }

    QStringList events;

  private:
    shell::ModuleContext* ctx_ = nullptr;
    int answers_ = 0;
    std::string downloadPath_;
    QPointer<QDialog> window_;
};

// A second module that uses the first one's service only.
class ProbeConsumer final : public shell::Module {
  public:
    const char* Name() const override { return "probe consumer"; }
    void Register(shell::ModuleContext& ctx) override { found = ctx.Find<IProbe>(); }
    IProbe* found = nullptr;
};

}  // namespace probe
