// Free-format number reader (RDSINT, RDFIX, RDREAL).
