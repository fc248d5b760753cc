// month grid arithmetic
