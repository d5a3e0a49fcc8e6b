// CLibraryDlg: the media-library chooser. A tree of the library's groups,
// playlists and tracks (library_model.h); double-clicking a track adds its
// path to the chosen list and closes the dialog, double-clicking a playlist
// closes it with nothing chosen, double-clicking a group does nothing. The
// files are only read.
//
// The template is IDD_LIBRARY of res/library.rc; the program that shows the
// dialog links that script in (the library target melodrift_library_rc).
#pragma once

#include "fw/win/dialog.h"
#include "library/library_model.h"

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class CLibraryDlg : public CDialog {
public:
    static const CMessageMap& GetThisMessageMap();
    const CMessageMap& GetMessageMap() const override { return GetThisMessageMap(); }

    // The two files of the library (normally "fileDB.dat" and "playlists.xml"
    // in the data folder); the tree takes `treeFont` when one is given.
    CLibraryDlg(std::filesystem::path fileList, std::wstring playlists, CWnd* parent = nullptr,
                HFONT treeFont = nullptr);
    ~CLibraryDlg() override;

    BOOL OnInitDialog() override;

    // The paths chosen (none, or the one track double-clicked).
    const std::vector<std::wstring>& GetChosen() const { return m_chosen; }
    // Whether "playlists.xml" was read when the dialog opened.
    bool IsLibraryLoaded() const { return m_loaded; }

private:
    void OnTreeDoubleClick(NMHDR* header, LRESULT* result);
    void InsertItems(const std::vector<library::TreeItem>& items, HTREEITEM parent);

    std::filesystem::path m_fileListPath;
    std::wstring m_playlistsPath;
    HFONT m_treeFont;
    library::FileList m_files;
    std::unique_ptr<enXml> m_document;
    std::vector<library::TreeItem> m_items;
    std::vector<const library::TreeItem*> m_itemTable;   // tree item lParam - 1
    std::vector<std::wstring> m_chosen;
    bool m_loaded = false;
};
