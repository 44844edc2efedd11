#include "ui/about_dialog.h"

#include "res/resource.h"

AboutDialog::AboutDialog() : CDialog(IDD_ABOUTBOX) {}

AboutDialog::~AboutDialog() = default;

// Nothing to bind: the box only shows its texts and closes on OK or Escape.
void AboutDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
}
