// calendar panel
