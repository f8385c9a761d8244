#pragma once
// Finding and driving the windows of another process in the same Wine prefix (or Windows
// session). Every wait polls until a deadline; nothing here blocks longer than its time-out.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace kpv::automation {

// Milliseconds from now; passed() once they are over.
class Deadline {
  public:
    explicit Deadline(DWORD milliseconds);
    bool passed() const;
    DWORD remaining() const;

  private:
    ULONGLONG end_;
};

struct WindowQuery {
    std::optional<std::wstring> title;     // exact caption
    std::optional<std::wstring> className; // exact window class, e.g. L"#32770"
    std::vector<int> requiredChildren;     // control ids that must exist somewhere below
    std::vector<int> forbiddenChildren;    // control ids that must not
    bool visibleOnly = true;
};

// Top-level windows matching the query, in z-order.
std::vector<HWND> findWindows(const WindowQuery& query);

// The first match, polling until the deadline; nullptr when none appeared.
HWND waitForWindow(const WindowQuery& query, const Deadline& deadline);

// True once no window matches, polling until the deadline.
bool waitForNoWindow(const WindowQuery& query, const Deadline& deadline);

// A control with this id anywhere below parent (children first, then deeper), or nullptr.
HWND findDescendant(HWND parent, int id);

// Every window below parent, depth first, in the order the system enumerates them.
std::vector<HWND> descendants(HWND parent);

// The window's text as the window itself answers WM_GETTEXT (so an edit's current contents),
// falling back to the caption the system keeps when the owner does not answer in time.
std::wstring windowText(HWND window);
std::wstring windowClass(HWND window);

// Sends a message and waits at most timeoutMs for the answer; nothing when the owner did not
// answer in time or hangs.
std::optional<LRESULT> sendWithin(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                  DWORD timeoutMs);

// Replaces a control's text through WM_SETTEXT; false when the owner did not answer.
bool setWindowText(HWND window, const std::wstring& text, DWORD timeoutMs);

// Posts WM_COMMAND with the id in the low word and BN_CLICKED in the high word, as a click on
// a button or a menu item (control nullptr) would.
bool postCommand(HWND window, int id, HWND control);

// Lets the window's thread catch up: waits briefly so that messages posted before have been
// picked up, then sends WM_NULL and waits for its answer. False when it did not answer.
bool settle(HWND window, DWORD timeoutMs);

} // namespace kpv::automation
