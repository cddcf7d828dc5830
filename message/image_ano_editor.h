#pragma once

#include "imaging/dib_bitmap.h"
#include "message/file_ano_editor.h"

// The image page: the pictures of a folder (BMP, TIFF and JPEG files) with a
// preview of the one chosen.
class CImageAnoEditor : public CFileAnoEditor {
    DECLARE_DYNAMIC(CImageAnoEditor)
    DECLARE_MESSAGE_MAP()
public:
    CImageAnoEditor();

    int GetContentKind() const override { return 3; }
    void RecalcLayout() override;
    int GetPreferredHeight() override;
    void GetFilters(std::vector<std::string>& extensions) override;
    void FolderChanged() override;
    const CDibBitmap& GetPreview() const { return m_preview; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnPaint() override;
    void OnAdd() override;
    void OnClear() override;
    void OnListChanged(NMHDR* pNMHDR, LRESULT* pResult);
    void ClearPreview();

    CStatic m_frame;
    CDibBitmap m_preview;
};
