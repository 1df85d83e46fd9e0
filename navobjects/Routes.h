// Routes: an ordered collection of map points with per-leg values. The
// plotter keeps two: the route being edited or followed, and the stored
// positions, which use the same class and files but whose legs are not
// drawn (IsPositions).
//
// A leg's values (speed, cross-track limit) belong to the point where the
// leg ends; the first point's values belong to no leg.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "navobjects/NavCtrls.h"
#include "navobjects/RouteFiles.h"

class TWorldConvert;
class TLOGGBOOK;
struct TNMEAINFO;

// Reverses a point list: first each point takes the leg values of the point
// after it (the last keeps its own), then the order is reversed, so every
// leg keeps its values. Lists of fewer than two points stay as they are.
void ReverseRoutePoints(TRoutePoints& points);

// ---------------------------------------------------------------------------
// Route following: settings and alarms (see the following section of TRoute)

// "Route Preload", "Route Force" and "Route WP Ack". "Default Speed",
// "Default XTE" and "AP Capability" come from TRoute::Options.
struct TRouteFollowSettings {
  // A waypoint counts as reached this many seconds before the boat gets
  // there at its present speed.
  double PreloadSeconds = 20;
  // Radians of arc (50 m): growth of the range beyond the closest approach
  // that counts as leaving the waypoint.
  double Force = 7.853353365705226e-6;
  // Every waypoint switch raises NewWaypoint for the user to acknowledge.
  bool WaypointAck = false;
};

// The navigation alarms route following sets; the window copies them into
// its flag set and clears NewWaypoint with its acknowledge command.
struct TRouteAlarms {
  bool XteAlarm = false;
  bool XteRight = false;
  bool XteLeft = false;
  bool NewWaypoint = false;
};

class TRoute : public TNavShapeCollection {
 public:
  TRoute() = default;

  // The positions collection: points without a name, or with one already
  // present, are skipped when files are read into it, and read points are
  // appended in file order.
  bool IsPositions = false;

  uint32_t FileMagic = kSrwMagic;
  // The file the points came from or were saved to; empty after a merge or
  // a text import.
  std::string FileName;
  // Route following moved to a new leg (read and cleared by the window).
  bool LegChanged = false;
  // Points read from files are appended at the end.
  bool AppendOnly = false;
  // Route following is on.
  bool Following = false;
  TNavShape* Dest = nullptr;
  // The chart converter that places the points (not owned).
  TWorldConvert* Convert = nullptr;
  int32_t HeaderValue = 0;
  // Points on the current chart, and their pixels in order.
  int VisibleCount = 0;
  std::vector<TPoint> Line;
  // "Default Speed", "Default XTE" and "AP Capability" for read and written
  // points, and the datum question of the text formats.
  TRouteTextOptions Options;
  // Why the last file operation failed, or what it found damaged.
  std::string LastError;
  // The last read kept only the whole records before damage in the file.
  bool LastReadDamaged = false;

  // ---- the collection ----
  // Also forgets the pixel line, the file name and the changed mark.
  void Clear() override;
  // After styling, the last point takes the selected shape type as the
  // route's end mark (not for positions).
  void StyleUnselectedAll() override;
  void StyleAll() override;

  // ---- points as records ----
  TRoutePointRec RecordOf(const TNavShape& s) const;
  TRoutePoints Records() const;
  // A new point for a record, at the end (placed when the view is known).
  TNavShape* AddRecord(const TRoutePointRec& rec);

  // ---- names and lists ----
  // The point's name, or "WP# " followed by its number from 1.
  std::string NameOf(int index) const;
  void ListNames(std::vector<std::string>& names) const;
  // One line per point: number, position, speed, limit, the leg's bearing,
  // cumulative time and distance, name; the number of lines.
  int RouteList(std::vector<std::string>& lines) const;
  // One line per point: number, position, name, comment.
  int PositionList(std::vector<std::string>& lines) const;

  // ---- files ----
  // How the readers below take the points of a file: added to the points
  // there are, or in place of them. The old points go only once the file
  // was read and its points are to be taken; a file that cannot be read, or
  // whose datum the user declines, leaves them as they were.
  enum class TReadMode { Add, Replace };
  // Saves the points as an SRW file, atomically. An empty collection writes
  // nothing and returns 0. Returns the number of points, or -1 when the
  // file could not be written (LastError says why; the old file and the
  // changed mark stay as they were).
  int SaveToFile(const std::string& name);
  // Reads an SRW or old route file and merges it where the route grows
  // least (positions: appended, skipping names present). A missing file
  // reads as 0 points; a file of another kind returns -1 (LastError).
  int LoadFromFile(const std::string& name, TReadMode mode = TReadMode::Add);
  // As LoadFromFile for positions: SRW or old positions files.
  int LoadPositions(const std::string& name, TReadMode mode = TReadMode::Add);
  // The comma text format; "WP Import Error" is shown when the file holds
  // no points or is not of the format. Returns the points added.
  int ImportText(const std::string& name, TReadMode mode = TReadMode::Add);
  bool ExportText(const std::string& name, int routeNumber);
  // The column text format of the GPS transfer program (a negative route
  // number: the waypoint section).
  int ImportExchange(const std::string& name, int routeNumber, TReadMode mode = TReadMode::Add);
  bool ExportExchange(const std::string& name, const std::string& routeName, int routeNumber);
  // GPX 1.1.
  int ImportGpx(const std::string& name, TReadMode mode = TReadMode::Add);
  bool ExportGpx(const std::string& name, const std::string& listName);
  // Merges read points as the file readers do: positions are appended
  // without unnamed and repeated names, route points are inserted at
  // BestInsertIndex. Returns the points added.
  int MergeRecords(TRoutePoints&& points);

  // ---- measures ----
  // Sum of the leg lengths (radians of arc) from point a to point b.
  double RouteLength(int a, int b) const;
  // Sum of the leg times (days) from point a to point b, each leg at the
  // speed of the point where it ends ("Default Speed" when that is 0).
  double RouteTime(int a, int b) const;
  // The point nearest to the position (plain differences of the angles, the
  // longitude's taken the short way round; the earlier point on equal
  // distances); nullptr without points.
  TNavShape* NearestPoint(const TFPoint& pos) const;
  // The index of the destination of the leg the position belongs to: 0
  // before the first point, Count past the last. With AppendOnly (unless
  // `ignoreAppendOnly`) or at most one point: Count.
  int LegIndexFor(const TFPoint& pos, bool ignoreAppendOnly = false) const;
  // Where a read list belongs: the index at which the total length grows
  // least, the list reversed when that is shorter or as short. An empty
  // route gives 0 and reverses nothing; with AppendOnly the list goes at
  // the end, reversed when its far end is nearer the route's last point.
  int BestInsertIndex(TRoutePoints& points) const;
  // New points for the list before the point at `index` (0: the front;
  // Count or more: the end). Clears the file name when the route had
  // points. The points are placed for the current view.
  void InsertList(TRoutePoints&& points, int index);
  // Reverses the route (see ReverseRoutePoints).
  void Reverse();

  // ---- the view ----
  // The chart's area as a polygon (up to four corners): points inside are
  // visible, and so are their neighbours, so that legs leaving the area
  // are drawn. Returns the visible count.
  int SetViewPolygon(const std::vector<TFPoint>& corners);
  // The chart's area as a rectangle: every leg whose extent meets it is
  // drawn and both its ends are visible; a single point is visible inside
  // it. Returns the visible count.
  int SetViewRect(const TFRect& rect);
  // Visibility again for the area last given (none: nothing visible).
  int RecomputeView();
  // Every visible point to its pixel; hidden points and points the chart
  // cannot place become invisible (and take no mouse). Fills Line.
  void PlacePoints();
  // The leg ending at point i is drawn.
  bool LegVisible(int i) const;
  // Draws the visible legs (panel pixels, moved by -offset) with the pen.
  void PaintLegs(ICanvas& canvas, TPoint offset, const TPen& pen) const;

  // ---- route following (RouteFollow.cpp) ----
  // Driven by the update tick; results go to the navigation state record:
  // origin and destination, bearings, range, cross-track error (positive
  // right of the leg), time and distance to go, speed made good.
  TRouteFollowSettings Follow;
  TRouteAlarms Alarms;
  // Receives the route's log entries (not owned; may be null).
  TLOGGBOOK* LogBook = nullptr;
  // Begins following at the leg the boat is on. With `allowReverse` (the
  // user's activation) a route of three or more points whose last leg is
  // nearest is reversed first; without it (a re-acquisition) it never is.
  void Start(TNMEAINFO& nav, bool allowReverse);
  // Once per update tick: recomputes the leg's values, switches to the next
  // waypoint on arrival (by time, by passing it), re-acquires the route or
  // ends it when the boat leaves the waypoint.
  void UpdateCycle(TNMEAINFO& nav);
  // Moves to the next leg (also the window's "Acknowledge New WP"); at the
  // last point following ends. Returns whether following goes on.
  bool NextWaypoint(TNMEAINFO& nav);
  // Ends following: the values to go become unknown, the cross-track
  // alarms are cleared, the points are the user's again; the ending is
  // logged when a route was being followed.
  void Stop(TNMEAINFO& nav);
  // Recomputes the values of the current leg (while following).
  void Update(TNMEAINFO& nav);
  // Whether following moved to a new leg since the last call.
  bool WasLegChanged();

 private:
  enum class TViewArea { None, Rect, Polygon };
  // f(from, to) for each leg from point a to point b (either order).
  template <class F>
  void ForEachLeg(int a, int b, F&& f) const;
  int ReadInto(const std::string& name, bool positions, TReadMode mode);
  int FinishRead(TRouteReadResult&& r, const std::string& name, bool srw, TReadMode mode);
  int FinishImport(TRouteReadResult&& r, const std::string& name, TReadMode mode);
  bool WriteText(const std::string& name, const std::string& bytes);
  void Forget(const TNavShape* shape) override;
  int FinishView();
  // Route following: points back to the user, and the quiet end.
  void ReleasePoints();
  void EndQuietly(TNMEAINFO& nav);
  void LogRoute(const std::string& message, int category, bool once) const;

  TViewArea viewArea_ = TViewArea::None;
  TFRect viewRect_{};
  std::vector<TFPoint> viewPolygon_;
  std::vector<uint8_t> legVisible_;
};
