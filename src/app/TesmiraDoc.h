#pragma once

#include <string>

#include "link/CComm.h"

// The document: it holds the handset port (closed until Target / Open) and no file contents, so
// a file it saves is empty and a file it opens changes nothing.
class CTesmiraDoc {
 public:
  CTesmiraDoc(EventLoop& loop, Notifier* notifier) : comm_(loop, notifier) {}

  CComm& Comm() { return comm_; }

  void OnNewDocument() {}
  bool OnSaveDocument(const std::string& path);  // writes the empty document
  bool OnOpenDocument(const std::string& path);  // reads nothing; the file must exist
  const std::string& PathName() const { return path_; }

 private:
  CComm comm_;
  std::string path_;
};
