// Application units join installer_core as they land.
