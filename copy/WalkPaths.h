#pragma once
// Paths of the walk. A relative path names an entry below the drive's root: empty for the root
// itself, else parts joined by single backslashes with none at either end (DCIM\100MEDIA).
#include <string>

// root + "\" + rel: "E:\DCIM" from "E:" and "DCIM", "E:\" for the root itself.
std::wstring JoinWalkPath(const std::wstring& root, const std::wstring& rel);

// The listing pattern of a folder path: "E:\DCIM\*". The root's "E:\\*" has a doubled separator
// that the platform takes as one.
std::wstring ListingPattern(const std::wstring& folderPath);

// The relative path of an entry named name inside rel.
std::wstring ChildWalkPath(const std::wstring& rel, const std::wstring& name);

// Where path lies below the drive root ("E:"), as a relative path in upper case (ASCII letters
// only; Windows names compare without case): "BACKUP\000" for "E:\Backup\000\". Empty when path
// is not below that root.
std::wstring UpperPathBelowRoot(const std::wstring& root, const std::wstring& path);

// Whether two folders are one, or one lies inside the other ("D:\Cards" and "d:\cards\backup\"),
// compared as UpperPathBelowRoot compares.
bool FoldersOverlap(const std::wstring& first, const std::wstring& second);
