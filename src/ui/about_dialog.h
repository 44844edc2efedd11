// The About box, reached through the item the setup dialog adds to its system menu.
#pragma once

#include "framework/dialog.h"

class AboutDialog : public CDialog {
  public:
    AboutDialog();
    ~AboutDialog() override;

  protected:
    void DoDataExchange(CDataExchange* pDX) override;
};
