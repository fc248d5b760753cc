// filled in shortly
