#pragma once
// The generated branches of the search page's tree, built from the records
// of the photo-info cache (walked under its lock): photos by year and month,
// by place (0.1 and 0.02 degree), by tag word and, for photos without camera
// data, by type. Each builder first deletes the branch's old nodes. And the
// search itself: the photos whose records match a node.

#include <cstdint>
#include <functional>
#include <string>

struct CBgraImage;
class CSearchNode;
class PhotoInfoCache;
class PlaceNameList;
struct PhotoInfoRecord;

// The icon pieces the builders give their nodes (null: none).
struct SearchNodeIcons {
  const CBgraImage* year = nullptr;    // piece 0
  const CBgraImage* noExif = nullptr;  // piece 7, the no-camera-data root
  const CBgraImage* tag = nullptr;     // piece 3
  const CBgraImage* place = nullptr;   // piece 8
};

// A search stops adding photos at this many matches.
inline constexpr std::int32_t kMaxSearchMatches = 512;

// Year nodes sorted by caption, each with its month nodes sorted by month.
void BuildDateNodes(PhotoInfoCache& cache, CSearchNode& dateRoot, const SearchNodeIcons& icons);
// 0.1-degree places in order of first appearance, each with the 0.02-degree
// places within its tolerance; captioned by their names, else coordinates.
void BuildPlaceNodes(PhotoInfoCache& cache, CSearchNode& placeRoot, const PlaceNameList& names,
                     const SearchNodeIcons& icons);
// One node per distinct tag word (without regard to ASCII case).
void BuildTagNodes(PhotoInfoCache& cache, CSearchNode& tagRoot, const SearchNodeIcons& icons);
// Makes the no-camera-data root under root at the first call (noExifRoot
// null), then JPEG, RAW and other-type nodes for the types met.
void BuildNoExifNodes(PhotoInfoCache& cache, CSearchNode& root, CSearchNode*& noExifRoot,
                      const SearchNodeIcons& icons);

// The caption of a place without a name: "48.9N,2.3E" (0.1 degree) or
// "48.85N,2.30E" (0.02 degree). Longitudes are west-positive.
std::u16string PlaceCaption(double latitude, double longitude, bool fine);

// Walks the cache under its lock and calls add with every record that
// matches node (its effective criteria and the tag words of it and its
// catalog parents), at most kMaxSearchMatches of them; progress gets the
// percentage of the cache walked after each record. Sets and returns the
// node's match count.
std::int32_t SearchPhotos(PhotoInfoCache& cache, CSearchNode& node,
                          const std::function<void(const PhotoInfoRecord& record)>& add,
                          const std::function<void(std::int32_t percent)>& progress);
