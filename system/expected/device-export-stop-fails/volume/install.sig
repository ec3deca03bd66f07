package install signature
