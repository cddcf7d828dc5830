#pragma once

#include "platform/instance.h"
#include "platform/registry.h"
#include "platform/types.h"

#include <QObject>

#include <optional>
#include <set>
#include <span>
#include <string>
#include <vector>

class QWidget;

// What the two programs' application objects share: their message boxes,
// the search for a running copy, the parts of their registry and document
// strings, and the recent-file list in the framework's registry place.

// Keeps the given frames from taking input while a message box is up,
// without greying what they show (a disabled window would).
class CFrameInputBlock : public QObject {
public:
    CFrameInputBlock();
    ~CFrameInputBlock() override;
    void Block(const std::vector<QWidget*>& frames);
    void Release();
    bool IsBlocked(QWidget* w) const;

protected:
    bool eventFilter(QObject* obj, QEvent* e) override;

private:
    std::set<QWidget*> m_blocked;
    int m_nDepth = 0;
};

// The applications' rule for message-box icons: a box without an icon whose
// buttons are OK, OK/Cancel, Yes/No/Cancel or Yes/No gets the exclamation
// mark; other button sets stay without one; a given icon is kept.
UINT MessageBoxTypeWithIcon(UINT type);

// The window of a running copy: the last one whose title contains the
// program's title and whose class name starts with "Afx:". Null when none.
const InstanceWindow* FindRunningInstanceWindow(const std::vector<InstanceWindow>& windows, const std::string& title);

// How long a later start tries to reach the running copy's socket, and how
// long it then waits for an answer (a starting copy answers once its main
// window is up).
inline constexpr int kInstanceConnectTimeoutMs = 2000;
inline constexpr int kInstanceAnswerTimeoutMs = 30000;

enum class RunningInstance {
    unreachable, // no answer: the running copy is stuck or gone
    noWindow,    // it answered, but shows no window with the title
    broughtToFront,
};
// The single-instance lock and server live in a private runtime folder.
// When there is none (a folder that other users can reach), the user is told
// and FALSE comes back: the program then runs on its own, with no lock and no
// server that another user could reach.
BOOL CheckInstanceRuntimeFolder();

// A later start's look for the running copy: its window with the title is
// brought to the front and its id left in rId.
RunningInstance BringRunningInstanceToFront(CInstanceClient& client, const std::string& title, uint64_t& rId);

// Parts of strings split at a separator; an index outside them throws
// std::invalid_argument (a programming error). The registry path is string 36
// at its backslashes, a document string one of the templates' at '\n'.
std::string GetRegistryPathPart(int index);
std::string GetDocStringPart(UINT nStringId, int index);

// The recent-file list keeps this many paths, stored as the string values
// "File1" to "File4" under Software\<key>\<profile>\Recent File List.
inline constexpr int kRecentFileCount = 4;
// The list from those values in order: empty ones and values of another type
// are skipped.
std::vector<std::string> RecentFilesFromValues(std::span<const std::optional<RegValue>> values);
std::vector<std::string> LoadRecentFiles();
void SaveRecentFiles(const std::vector<std::string>& files);

class CSingleDocTemplate;

// File/New on the active frame's document: it is asked to save its changes
// (nothing more when the user cancels), takes its template's default title
// and starts again empty. FALSE when no frame is active with a document.
BOOL RestartActiveDocument();

// New Window: a new document of the template in a new frame, started empty
// and shown; "Failed to create empty document." when either cannot be made
// or the document refuses to start.
void OpenNewDocumentFrame(CSingleDocTemplate* pTemplate);
