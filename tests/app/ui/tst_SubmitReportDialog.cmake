# The tests start the service stand-in.
add_dependencies(tst_SubmitReportDialog vantorix-service)
