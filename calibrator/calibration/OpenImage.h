// The open image, as the commands that need it closed see it (a
// conversion, an import, a catalog command).
#pragma once

class IOpenImage {
 public:
  virtual ~IOpenImage() = default;
  // Closes it after "Changes not saved. Continue?" when it has unsaved
  // changes; false when the user keeps it.
  virtual bool CloseImageClick() = 0;
  // Closes it without asking (nothing while a long command runs).
  virtual void CloseImage() = 0;
};
