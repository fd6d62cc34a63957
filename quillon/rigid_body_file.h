// The rigid body file as the editor reads and writes it: one marker per
// data line, "LED, x y z" or just "LED"; '#' starts a comment line.
#pragma once

#include <veksock.h>

#include <ostream>
#include <string>
#include <vector>

// Reads the file's markers: id = the data line's number, frame = the LED,
// cond 1 with a position and 0 without. Returns their number; 0 with a
// message on `err` when the file cannot be read, is no regular file (a
// FIFO is refused, never waited on) or holds an invalid line, named by its
// line number in the file (the markers are then empty).
int ReadRigidBodyFile(const std::string& path, std::vector<MarkerRecord>& markers, std::ostream& err);

// Writes "id, x y z" for each marker (ids are LEDs here) through a
// temporary file renamed over the target, then "wrote to" on `out`; a
// failure leaves the old file whole and is reported on `err`.
bool SaveRigidBodyFile(const std::string& path, const std::vector<MarkerRecord>& markers, std::ostream& out,
                       std::ostream& err);
