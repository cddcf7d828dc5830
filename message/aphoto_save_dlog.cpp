#include "message/aphoto_save_dlog.h"

#include "platform/framework/message_box.h"
#include "platform/framework/wnd.h"
#include "util/string_util.h"
#include "resources/string_ids.h"
#include "platform/path.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QWidget>

#include <climits>
#include <filesystem>
#include <utility>
#include <vector>

namespace {


CAPhotoSaveDlog::Answer& AnswerHook()
{
    static CAPhotoSaveDlog::Answer answer;
    return answer;
}

} // namespace

CAPhotoSaveDlog::CAPhotoSaveDlog(const std::string& title, const std::string& filterName,
                                 const std::string& extensions, const std::string& proposal, BOOL bReadOnly,
                                 CWnd* pParent)
    : m_strTitle(title), m_strProposal(proposal), m_bReadOnly(bReadOnly), m_pParent(pParent)
{
    // The filter: its name, then "*" and each extension of the list.
    m_filter.label = filterName;
    std::vector<std::string> list;
    SplitString(extensions, list, ";", true, false);
    for (std::string& ext : list) {
        if (ext[0] == '.')
            ext.erase(0, 1);
        if (ext.empty())
            continue;
        m_filter.patterns.push_back("*." + ext);
        if (m_strDefaultExt.empty())
            m_strDefaultExt = ext;
    }
}

CAPhotoSaveDlog::Answer CAPhotoSaveDlog::SetAnswer(Answer answer) { return std::exchange(AnswerHook(), std::move(answer)); }

std::string CAPhotoSaveDlog::CompleteExtension(const std::string& path) const
{
    if (m_strDefaultExt.empty() || !DottedExtensionOf(path).empty() || path.empty() || path.back() == '/')
        return path;
    return path + "." + m_strDefaultExt;
}

bool CAPhotoSaveDlog::IsPathLengthSupported(const std::string& path)
{
    if (path.size() >= PATH_MAX)
        return false;
    for (const auto& part : std::filesystem::path(path))
        if (part.native().size() > NAME_MAX)
            return false;
    return true;
}

BOOL CAPhotoSaveDlog::RunDialog(std::string& path, BOOL& readOnly)
{
    QWidget* parent = m_pParent && m_pParent->m_hWnd ? m_pParent->m_hWnd->window() : nullptr;
    QFileDialog dlg(parent, QString::fromStdString(m_strTitle));
    dlg.setOption(QFileDialog::DontUseNativeDialog); // the check box needs Qt's own dialog
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    dlg.setNameFilter(QString::fromStdString(QtFilterLine(m_filter)));
    // Qt completes the name before it asks about replacing a file.
    dlg.setDefaultSuffix(QString::fromStdString(m_strDefaultExt));
    const std::filesystem::path proposal(path);
    if (proposal.has_parent_path())
        dlg.setDirectory(QString::fromStdString(proposal.parent_path().string()));
    // "*" proposes no name: the folder alone.
    if (proposal.has_filename() && proposal.filename() != "*")
        dlg.selectFile(QString::fromStdString(proposal.filename().string()));

    auto* panel = new QWidget;
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(0, 0, 0, 0);
    auto* box = new QCheckBox("Read Only");
    box->setObjectName("ReadOnly");
    box->setChecked(readOnly);
    row->addWidget(box);
    row->addStretch(1);
    if (auto* grid = qobject_cast<QGridLayout*>(dlg.layout()))
        grid->addWidget(panel, grid->rowCount(), 0, 1, grid->columnCount());
    else
        panel->setParent(&dlg);

    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return FALSE;
    path = dlg.selectedFiles().front().toStdString();
    readOnly = box->isChecked() ? TRUE : FALSE;
    return TRUE;
}

int CAPhotoSaveDlog::DoModal()
{
    std::string path = m_strProposal;
    BOOL readOnly = m_bReadOnly;
    if (const Answer& answer = AnswerHook()) {
        if (answer(path, readOnly) != IDOK)
            return IDCANCEL;
    } else if (!RunDialog(path, readOnly)) {
        return IDCANCEL;
    }
    path = CompleteExtension(path);
    if (!IsPathLengthSupported(path)) {
        AfxMessageBox(IDS_NAME_TOO_LONG, MB_ICONEXCLAMATION);
        return IDCANCEL;
    }
    if (readOnly && AfxMessageBox(IDS_SAVE_READ_ONLY, MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return IDCANCEL;
    m_strPath = path;
    m_bReadOnly = readOnly;
    return IDOK;
}
