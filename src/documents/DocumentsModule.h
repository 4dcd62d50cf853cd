#pragma once

// The documents module: the Share Documents and Retrieve Documents windows
// with their companions, the remote file system family, the document
// transfers of slots 0 and 1, and the ways in: the DOCUMENTS button, the
// contact menu, the main window's menu and other modules' menus.

#include <memory>

#include "documents/api/DocumentsApi.h"
#include "shell/Module.h"

namespace documents {

class CDocumentsTextDlg;
class CRetrieveDocumentsDlg;
class CShareDocumentsDlg;

class DocumentsModule final : public shell::Module, public DocumentsApi {
  public:
    DocumentsModule();
    ~DocumentsModule() override;

    const char* Name() const override { return "documents"; }
    void RegisterPictures(ui::Skin& skin) override;
    void Register(shell::ModuleContext& ctx) override;
    void LoggedOut() override;

    // --- DocumentsApi ---
    bool RetrieveDocuments(const std::string& owner) override;

    // Null until registered.
    CShareDocumentsDlg* ShareWindow() const { return share_.get(); }
    CRetrieveDocumentsDlg* RetrieveWindow() const { return retrieve_.get(); }
    CDocumentsTextDlg* PromptWindow() const { return prompt_.get(); }

  private:
    std::unique_ptr<CShareDocumentsDlg> share_;
    std::unique_ptr<CRetrieveDocumentsDlg> retrieve_;
    std::unique_ptr<CDocumentsTextDlg> prompt_;
};

std::unique_ptr<shell::Module> MakeModule();

}  // namespace documents
