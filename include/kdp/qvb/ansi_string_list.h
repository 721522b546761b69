// TAnsiStringList: an ordered list of 8-bit strings, each with an object the list may own. The owner says
// how an entry's object is freed (SetOnFreeObject); the list calls it when the entry goes (Clear,
// replacing the object, destruction). An index outside 0 to count-1 throws kdp::Error "Invalid Index: N".
//
// Plain value; one thread at a time.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kdp {

class TAnsiStringList {
 public:
  using TFreeObjectEvent = std::function<void(void* object)>;

  TAnsiStringList() = default;
  ~TAnsiStringList() { Clear(); }
  TAnsiStringList(const TAnsiStringList&) = delete;
  TAnsiStringList& operator=(const TAnsiStringList&) = delete;

  // Appends; the new entry's index.
  int Add(std::string_view s, void* object = nullptr);
  void Clear();
  int GetCount() const { return static_cast<int>(FStringList.size()); }
  const std::string& GetString(int index) const;
  void SetString(int index, std::string_view s);
  void* GetObjects(int index) const;
  // Frees the entry's former object (when it is another one) before keeping `object`.
  void SetObjects(int index, void* object);
  // The entries joined with "\r\n".
  std::string GetTextStr() const;
  // Replaces the entries with the lines of `text` (line ends "\r\n", "\n" or "\r"; a final line end adds
  // no entry).
  void SetTextStr(std::string_view text);
  void SetOnFreeObject(TFreeObjectEvent event) { FOnFreeObject = std::move(event); }

 private:
  struct Entry {
    std::string FString;
    void* FObject = nullptr;
  };
  const Entry& At(int index) const;
  void FreeObject(void* object);

  std::vector<Entry> FStringList;
  TFreeObjectEvent FOnFreeObject;
};

}  // namespace kdp
