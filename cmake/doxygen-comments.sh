#!/bin/sh
# Hands the headers' // comments to doxygen as /// documentation comments.
exec sed -E 's,^([[:space:]]*)// ?,\1/// ,' "$1"
