// The names of a workspace's files and folders, spelled once for the
// component and every front end. A workspace is a folder holding the host
// workbook, the data folder with the data workbooks, the photo folder, the
// help document and, once kelv has saved, the backup folder.
#pragma once

namespace kelv::sheets {

// The host workbook's usual file name.
inline constexpr const char* kHostWorkbookName = "考务.xlsx";
// The data folder, and the same joined directly to the host workbook's Path.
inline constexpr const char* kDataFolderName = "数据";
inline constexpr const char* kDataFolder = "\\数据\\";
// The photo root, and the same joined to the Path.
inline constexpr const char* kPhotoFolderName = "照片";
inline constexpr const char* kPhotoFolder = "\\照片\\";
// The help document beside the host workbook.
inline constexpr const char* kHelpDocumentName = "帮助.doc";
// Where the front ends keep copies of the files a save replaces.
inline constexpr const char* kBackupFolderName = "备份";

}  // namespace kelv::sheets
