// The media-library chooser's window.
#include "library/library_dlg.h"

#include "library/library_res.h"
#include "xml/enxml.h"

#include <commctrl.h>

const CMessageMap& CLibraryDlg::GetThisMessageMap()
{
    static const CMessageMap map = CMessageMap::Build<CLibraryDlg>(&CDialog::GetThisMessageMap())
        .OnNotify(IDC_LIBRARY_TREE, NM_DBLCLK, &CLibraryDlg::OnTreeDoubleClick);
    return map;
}

CLibraryDlg::CLibraryDlg(std::filesystem::path fileList, std::wstring playlists, CWnd* parent, HFONT treeFont)
    : CDialog(IDD_LIBRARY, parent),
      m_fileListPath(std::move(fileList)),
      m_playlistsPath(std::move(playlists)),
      m_treeFont(treeFont)
{
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&controls);
}

CLibraryDlg::~CLibraryDlg() = default;

BOOL CLibraryDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    m_chosen.clear();
    m_items.clear();
    m_itemTable.clear();
    m_files = library::LoadFileList(m_fileListPath);
    m_document = std::make_unique<enXml>();
    m_loaded = m_document->Load(m_playlistsPath);
    if (m_treeFont) {
        SendDlgItemMessage(IDC_LIBRARY_TREE, WM_SETFONT, reinterpret_cast<WPARAM>(m_treeFont), TRUE);
    }
    if (!m_loaded) {
        return FALSE;   // the tree stays empty
    }
    m_items = library::BuildTree(*m_document, m_files);
    InsertItems(m_items, TVI_ROOT);
    return TRUE;
}

void CLibraryDlg::InsertItems(const std::vector<library::TreeItem>& items, HTREEITEM parent)
{
    for (const library::TreeItem& item : items) {
        m_itemTable.push_back(&item);
        TVINSERTSTRUCTW insert = {};
        insert.hParent = parent;
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT | TVIF_PARAM;
        insert.item.pszText = const_cast<wchar_t*>(item.text.c_str());
        insert.item.lParam = static_cast<LPARAM>(m_itemTable.size());
        const auto handle = reinterpret_cast<HTREEITEM>(
            SendDlgItemMessage(IDC_LIBRARY_TREE, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
        if (handle && !item.children.empty()) {
            InsertItems(item.children, handle);
        }
    }
}

void CLibraryDlg::OnTreeDoubleClick(NMHDR*, LRESULT* result)
{
    *result = 0;
    const auto selected =
        reinterpret_cast<HTREEITEM>(SendDlgItemMessage(IDC_LIBRARY_TREE, TVM_GETNEXTITEM, TVGN_CARET, 0));
    const library::TreeItem* item = nullptr;
    if (selected) {
        TVITEMW query = {};
        query.mask = TVIF_PARAM;
        query.hItem = selected;
        if (SendDlgItemMessage(IDC_LIBRARY_TREE, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&query)) &&
            query.lParam > 0 && static_cast<std::size_t>(query.lParam) <= m_itemTable.size()) {
            item = m_itemTable[static_cast<std::size_t>(query.lParam) - 1];
        }
    }
    if (library::Choose(item, m_files, m_chosen)) {
        EndDialog(IDOK);
    }
}
