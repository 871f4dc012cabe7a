// The settings dialog: control on or off, the network, range checking, and the network's
// ATC voice stations nearest first. Settings change only at OK or when a station is
// picked; Cancel leaves everything as it was.
#include "dialog/win32/SettingsDialog.h"

#include <windows.h>

#include <string>
#include <vector>

#include "api/portable/ControlApi.h"
#include "dialog/portable/StationList.h"
#include "dialog/win32/SettingsDialogResources.h"
#include "voice/portable/SelectionReason.h"

namespace hv {

namespace {

// Posted by the unload path: ends the dialog with result 0 on its own thread.
constexpr UINT kEndForUnload = WM_APP + 0x48;

// One opening of the dialog: made by runSettingsDialog, handed to the dialog procedure
// with DialogBoxParam and kept in the window's user data. Only the dialog's thread uses it.
struct SettingsDialog {
  SettingsDialogHost& host;
  const SettingsDialogLinks& links;
  bool listLoaded = false;
  std::vector<StationRow> rows;  // the list's rows as the last fill left them
};

HINSTANCE moduleInstance() {
  HMODULE module = nullptr;
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCSTR>(&moduleInstance), &module);
  return module;
}

HWND item(HWND window, int id) { return GetDlgItem(window, id); }
bool checked(HWND window, int id) { return IsDlgButtonChecked(window, id) == BST_CHECKED; }

void enableChoices(HWND window, bool enable) {
  for (int id : {IDC_VATSIM, IDC_IVAO, IDC_RANGE_CHECK}) EnableWindow(item(window, id), enable);
}

void forgetRows(SettingsDialog& dialog) {
  dialog.listLoaded = false;
  dialog.rows.clear();
}

void fillStationList(SettingsDialog& dialog, HWND window, Network network) {
  StationList list = FillStationList(dialog.links.state, network);
  dialog.listLoaded = list.loaded;
  dialog.rows = std::move(list.rows);
  HWND box = item(window, IDC_STATION_LIST);
  SendMessageA(box, LB_RESETCONTENT, 0, 0);
  for (const std::string& line : list.lines) SendMessageA(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
  if (!dialog.listLoaded) {
    SetFocus(item(window, IDC_ACTIVE));
    return;
  }
  SendMessageA(box, LB_SETCURSEL, 0, 0);
  SetFocus(box);
}

void initialise(SettingsDialog& dialog, HWND window) {
  SettingsDialogHost& host = dialog.host;
  if (!host.listFontTried) {
    host.listFontTried = true;
    host.listFont.reset(CreateFontA(0, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_DONTCARE, "FIXEDSYS"));
  }
  // Without a font of its own the list is given none and draws in the system font, not
  // in the dialog's font that the template gave every control.
  SendMessageA(item(window, IDC_STATION_LIST), WM_SETFONT, reinterpret_cast<WPARAM>(host.listFont.get()), FALSE);

  ModuleState& state = dialog.links.state;
  const std::uint32_t network = state.network.load();
  CheckDlgButton(window, IDC_ACTIVE, state.active.load() ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(window, IDC_VATSIM, network == Vatsim ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(window, IDC_IVAO, network == Ivao ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(window, IDC_RANGE_CHECK, state.rangeCheck.load() ? BST_CHECKED : BST_UNCHECKED);

  forgetRows(dialog);
  if (!state.active.load()) {
    enableChoices(window, false);
    EnableWindow(item(window, IDC_STATION_LIST), FALSE);
    SetFocus(item(window, IDC_ACTIVE));
  } else if (network == Vatsim || network == Ivao) {
    fillStationList(dialog, window, static_cast<Network>(network));
  } else {
    // A network number no radio button stands for: no table is shown.
    SetFocus(item(window, IDC_ACTIVE));
  }
}

void activeToggled(SettingsDialog& dialog, HWND window) {
  const bool on = checked(window, IDC_ACTIVE);
  enableChoices(window, on);
  EnableWindow(item(window, IDC_STATION_LIST), on);
  if (on) {
    if (checked(window, IDC_VATSIM)) fillStationList(dialog, window, Vatsim);
    if (checked(window, IDC_IVAO)) fillStationList(dialog, window, Ivao);
    return;
  }
  SendMessageA(item(window, IDC_STATION_LIST), LB_RESETCONTENT, 0, 0);
  forgetRows(dialog);
  SetFocus(item(window, IDC_ACTIVE));
}

// The dialog's choices become the module's; the network is selected (and the choice
// saved) through the same code as the exported function, even while its buttons are
// disabled.
// "control off -> on" when the choice changed, "control on" when it did not.
std::string choiceText(const char* name, const char* before, const char* after) {
  std::string text = name;
  text += ' ';
  if (std::string(before) != after) text += std::string(before) + " -> ";
  return text + after;
}

void acceptAndClose(const SettingsDialog& dialog, HWND window) {
  ModuleState& state = dialog.links.state;
  const SaveConfiguration save = dialog.links.saveConfiguration;
  const char* activeBefore = state.active.load() != 0 ? "on" : "off";
  const char* rangeBefore = state.rangeCheck.load() != 0 ? "on" : "off";
  const char* networkBefore = networkName(state.network.load());
  state.active = checked(window, IDC_ACTIVE) ? 1 : 0;
  state.rangeCheck = checked(window, IDC_RANGE_CHECK) ? 1 : 0;
  if (checked(window, IDC_VATSIM)) selectNetwork(state, Vatsim, save);
  if (checked(window, IDC_IVAO)) selectNetwork(state, Ivao, save);
  dialog.links.log.write(
      "settings dialog OK: " + choiceText("control", activeBefore, state.active.load() != 0 ? "on" : "off") + ", " +
      choiceText("network", networkBefore, networkName(state.network.load())) + ", " +
      choiceText("range check", rangeBefore, state.rangeCheck.load() != 0 ? "on" : "off"));
  EndDialog(window, IDOK);
}

// A station picked in the list: COM1 goes to its frequency, then all of OK. Lines that
// are not station rows pick nothing.
bool pickStation(const SettingsDialog& dialog, HWND window, LRESULT index) {
  if (!dialog.listLoaded || index < 0 || static_cast<std::size_t>(index) >= dialog.rows.size()) return false;
  const StationRow& row = dialog.rows[static_cast<std::size_t>(index)];
  dialog.links.log.write(std::string("settings dialog: station ") + row.callsign + " picked, COM1 tuned to " +
                         FrequencyText(row.frequency));
  dialog.links.tuneCom1(row.frequency);
  acceptAndClose(dialog, window);
  return true;
}

INT_PTR CALLBACK dialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(window, GWLP_USERDATA, lParam);
    SettingsDialog& dialog = *reinterpret_cast<SettingsDialog*>(lParam);
    dialog.host.openWindow = window;
    if (dialog.host.endRequested) {
      EndDialog(window, 0);
      return TRUE;
    }
    initialise(dialog, window);
    return FALSE;  // the focus is set
  }
  auto* opened = reinterpret_cast<SettingsDialog*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (opened == nullptr) return FALSE;  // before WM_INITDIALOG
  SettingsDialog& dialog = *opened;
  switch (message) {
    case kEndForUnload:
    case WM_CLOSE:
      EndDialog(window, 0);
      return TRUE;
    case WM_VKEYTOITEM:
      if (reinterpret_cast<HWND>(lParam) == item(window, IDC_STATION_LIST) && LOWORD(wParam) == 'S' &&
          pickStation(dialog, window, HIWORD(wParam)))
        return -2;  // fully handled
      return -1;    // the list's own handling
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_ACTIVE:
          if (HIWORD(wParam) == BN_CLICKED) activeToggled(dialog, window);
          return TRUE;
        case IDC_VATSIM:
        case IDC_IVAO:
          if (HIWORD(wParam) == BN_CLICKED)
            fillStationList(dialog, window, LOWORD(wParam) == IDC_VATSIM ? Vatsim : Ivao);
          return TRUE;
        case IDC_STATION_LIST:
          if (HIWORD(wParam) == LBN_DBLCLK)
            pickStation(dialog, window, SendMessageA(item(window, IDC_STATION_LIST), LB_GETCURSEL, 0, 0));
          return TRUE;
        case IDOK:
          acceptAndClose(dialog, window);
          return TRUE;
        case IDCANCEL:
          dialog.links.log.write("settings dialog cancelled: nothing changed");
          EndDialog(window, IDCANCEL);
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

}  // namespace

void runSettingsDialog(SettingsDialogHost& host, const SettingsDialogLinks& links) {
  if (host.endRequested) return;
  SettingsDialog dialog{host, links, false, {}};
  DialogBoxParamA(moduleInstance(), MAKEINTRESOURCEA(IDD_SETTINGS), nullptr, &dialogProc,
                  reinterpret_cast<LPARAM>(&dialog));
  host.openWindow = nullptr;
}

void endSettingsDialogForUnload(SettingsDialogHost& host) {
  host.endRequested = true;
  if (HWND window = host.openWindow.load()) PostMessageA(window, kEndForUnload, 0, 0);
}

}  // namespace hv
