#include "ui/file_save_dlog.h"

#include "platform/framework/file_dialog.h"
#include "platform/framework/message_box.h"
#include "platform/framework/wnd.h"
#include "platform/path.h"
#include "resources/string_table.h"
#include "resources/string_ids.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QWidget>

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace {


std::string Upper(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::toupper(c)); });
    return s;
}

bool IsOneOf(const std::string& s, std::initializer_list<const char*> names)
{
    for (const char* n : names)
        if (s == n)
            return true;
    return false;
}

} // namespace

CFileSaveDlog::CFileSaveDlog(int* pQuality, int nSourceBitsPerPixel, const std::string& defaultType,
                             const std::string& fileName, DWORD flags, const std::string& filter, CWnd* pParent)
    : m_pQuality(pQuality), m_nQuality(pQuality ? *pQuality : 100), m_nSourceBpp(nSourceBitsPerPixel),
      m_strDefaultType(Upper(defaultType)), m_strFileName(fileName), m_dwFlags(flags), m_filters(ParseFileFilter(filter)),
      m_pParent(pParent)
{
    m_nQuality = std::clamp(m_nQuality, 1, 100);
    m_nSliderPos = 101 - m_nQuality;
    // The camera's raw type is saved as TIFF.
    std::string wanted = m_strDefaultType == "TKF" ? "TIFF" : m_strDefaultType;
    // Callers name the type ("JPEG") or give the file's extension ("JPG"):
    // either picks the same entry, so a JPEG is never offered as a bitmap.
    auto matches = [&](const FileFilterEntry& entry) {
        if (FilterName(entry) == wanted)
            return true;
        for (const std::string& pattern : entry.patterns)
            if (pattern.size() > 2 && pattern.compare(0, 2, "*.") == 0 && Upper(pattern.substr(2)) == wanted)
                return true;
        return false;
    };
    for (size_t i = 0; i < m_filters.size(); ++i)
        if (matches(m_filters[i])) {
            m_nFilterIndex = int(i);
            break;
        }
    UpdateControls();
}

CFileSaveDlog::~CFileSaveDlog() = default;

std::string CFileSaveDlog::FilterName(const FileFilterEntry& entry)
{
    std::string name = entry.label.substr(0, entry.label.find(" ("));
    return Upper(name.substr(0, name.find('(')));
}

std::string CFileSaveDlog::CompleteExtension(const std::string& path, const std::vector<std::string>& patterns)
{
    if (patterns.empty())
        return path;
    const std::string ext = Upper(ExtensionOf(path));
    for (const std::string& p : patterns) {
        std::string pe = Upper(ExtensionOf(p));
        // "All files" takes any name as it was typed.
        if (pe == "*" || (!ext.empty() && pe == ext))
            return path;
    }
    std::string first = ExtensionOf(patterns.front());
    if (first.empty() || first == "*")
        return path;
    return path + "." + first;
}

void CFileSaveDlog::OnSliderMoved(int nPos)
{
    m_nSliderPos = std::clamp(nPos, 1, 100);
    m_nQuality = 101 - m_nSliderPos;
    if (m_pValue)
        m_pValue->setText(QString::number(m_nSliderPos));
}

void CFileSaveDlog::OnFilterChanged(int nIndex)
{
    if (nIndex >= 0 && nIndex < int(m_filters.size()))
        m_nFilterIndex = nIndex;
    UpdateControls();
}

void CFileSaveDlog::SetBitDepthChoice(int nChoice)
{
    if (m_bBitDepthEnabled)
        m_nRadio = nChoice ? 1 : 0;
    UpdateControls();
}

void CFileSaveDlog::UpdateControls()
{
    std::string filter = m_nFilterIndex < int(m_filters.size()) ? FilterName(m_filters[size_t(m_nFilterIndex)]) : "";
    m_bCompressionEnabled = IsOneOf(filter, {"JPEG", "JPG"});
    m_bBitDepthEnabled = IsOneOf(m_strDefaultType, {"TIFF", "TIF", "TKF"}) && m_nSourceBpp >= 25 &&
                         IsOneOf(filter, {"TIFF", "TIF"});
    if (!m_bBitDepthEnabled)
        m_nRadio = 0;
    for (QWidget* w : m_compressionControls)
        w->setEnabled(m_bCompressionEnabled);
    for (QWidget* w : m_bitDepthControls)
        w->setEnabled(m_bBitDepthEnabled);
    if (m_pRadio24 && m_pRadio48) {
        m_pRadio24->setChecked(m_nRadio == 0);
        m_pRadio48->setChecked(m_nRadio == 1);
    }
}

QWidget* CFileSaveDlog::BuildPanel()
{
    auto* panel = new QWidget;
    auto* row = new QHBoxLayout(panel);
    auto* label = new QLabel("Compression:");
    auto* low = new QLabel("Low");
    m_pSlider = new QSlider(Qt::Horizontal);
    m_pSlider->setRange(1, 100);
    m_pSlider->setValue(m_nSliderPos);
    auto* high = new QLabel("High");
    m_pValue = new QLabel(QString::number(m_nSliderPos));
    m_pValue->setMinimumWidth(m_pValue->fontMetrics().horizontalAdvance("100") + 4);
    auto* bit = new QLabel("bit");
    m_pRadio24 = new QRadioButton("24Bit");
    m_pRadio48 = new QRadioButton("48Bit");
    for (QWidget* w : {static_cast<QWidget*>(label), static_cast<QWidget*>(low), static_cast<QWidget*>(m_pSlider),
                       static_cast<QWidget*>(high), static_cast<QWidget*>(m_pValue)})
        row->addWidget(w);
    row->addSpacing(16);
    row->addWidget(bit);
    row->addWidget(m_pRadio24);
    row->addWidget(m_pRadio48);
    row->addStretch(1);
    m_compressionControls = {label, low, m_pSlider, high, m_pValue};
    m_bitDepthControls = {bit, m_pRadio24, m_pRadio48};
    QObject::connect(m_pSlider, &QSlider::valueChanged, panel, [this](int v) { OnSliderMoved(v); });
    QObject::connect(m_pRadio48, &QRadioButton::toggled, panel, [this](bool on) {
        if (m_bBitDepthEnabled)
            m_nRadio = on ? 1 : 0;
    });
    UpdateControls();
    return panel;
}

BOOL CFileSaveDlog::RunDialog(std::string& path, int& filterIndex)
{
    QWidget* parent = m_pParent && m_pParent->m_hWnd ? m_pParent->m_hWnd->window() : nullptr;
    QFileDialog dlg(parent);
    dlg.setOption(QFileDialog::DontUseNativeDialog); // the panel needs Qt's own dialog
    dlg.setOption(QFileDialog::DontConfirmOverwrite); // asked once the extension is complete
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    QStringList names;
    for (const FileFilterEntry& e : m_filters)
        names << QString::fromStdString(QtFilterLine(e));
    dlg.setNameFilters(names);
    if (m_nFilterIndex < names.size())
        dlg.selectNameFilter(names[m_nFilterIndex]);
    if (!path.empty())
        dlg.selectFile(QString::fromStdString(path));
    QWidget* panel = BuildPanel();
    if (auto* grid = qobject_cast<QGridLayout*>(dlg.layout()))
        grid->addWidget(panel, grid->rowCount(), 0, 1, grid->columnCount());
    else
        panel->setParent(&dlg);
    QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg, [this, names](const QString& f) { OnFilterChanged(int(names.indexOf(f))); });
    const bool accepted = ExecFileDialog(dlg) == QDialog::Accepted && !dlg.selectedFiles().isEmpty();
    if (accepted) {
        path = dlg.selectedFiles().front().toStdString();
        filterIndex = int(names.indexOf(dlg.selectedNameFilter()));
    }
    // The panel's widgets went with the dialog.
    m_pSlider = nullptr;
    m_pValue = nullptr;
    m_pRadio24 = m_pRadio48 = nullptr;
    m_compressionControls.clear();
    m_bitDepthControls.clear();
    return accepted ? TRUE : FALSE;
}

BOOL CFileSaveDlog::ConfirmReplace(const std::string& path)
{
    std::string text = LastNameOf(path) + "\n" + std::string(res::String(IDS_REPLACE_FILE));
    return AfxMessageBox(text, MB_OKCANCEL) == IDOK;
}

int CFileSaveDlog::DoModal()
{
    std::string path = m_strFileName;
    for (;;) {
        int index = m_nFilterIndex;
        if (!RunDialog(path, index))
            return IDCANCEL; // the caller's quality stays as it was
        OnFilterChanged(index);
        const std::vector<std::string> none;
        const auto& patterns = m_nFilterIndex < int(m_filters.size()) ? m_filters[size_t(m_nFilterIndex)].patterns : none;
        std::string completed = CompleteExtension(path, patterns);
        std::error_code ec;
        if (std::filesystem::exists(completed, ec) && !ConfirmReplace(completed)) {
            path = completed;
            continue;
        }
        m_strPath = completed;
        if (m_pQuality)
            *m_pQuality = m_nQuality;
        return IDOK;
    }
}
