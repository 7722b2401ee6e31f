// One include, named by the build: whether a layer can reach a header.
#include KALVEX_PROBE_HEADER
