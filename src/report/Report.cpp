// Report engine: lays out and prints reports over the domain list.
